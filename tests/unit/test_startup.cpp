#include "WindowFixture.h"
#include "startup/KillByTitle.h"

namespace norq::test {

using Startup = WindowTest;

// Only a plain file with at least one byte counts as the OEM marker: hidden,
// system, a folder, none at all or an empty file is a package not (or badly)
// unpacked, and the run ends at its message with nothing written.
TEST(StartupMarker, WithoutAUsableOemMarkerOnlyTheMessageShowsAndNothingIsWritten) {
  const struct { bool present; FakeFile marker; } cases[] = {
      {true, {L"x", "", kAttrHidden}}, {true, {L"x", "", kAttrSystem}}, {true, {L"x", "", 0, true}},
      {false, {}}, {true, {L"", "", 0}}};
  for (const auto& c : cases) {
    World w;
    w.sys.files.erase(L"C:\\pkg\\norqoem.dat");
    if (c.present) w.sys.files[L"C:\\pkg\\norqoem.dat"] = c.marker;
    EXPECT_TRUE(w.Load()) << c.marker.attributes;
    EXPECT_EQ(w.sys.log, (Lines{L"msgbox Quovexa 16 请先解压，而后再安装！", L"end program"})) << c.marker.attributes;
    EXPECT_FALSE(w.sys.windowShownAtMsgBox);
    EXPECT_TRUE(w.pointers.requested.empty());
  }
}

TEST_F(Startup, NormalStartWritesMarkersEndsTheRunningProductAndReadiesTheButton) {
  sys.windows = {{1, {L"norq", 100}}, {2, {L"norq 2", 200}}, {3, {L"norq", 300}}};
  EXPECT_FALSE(Load());
  EXPECT_EQ(sys.log, (Lines{L"write C:\\norqoem.dat", L"write D:\\norqoem.dat", L"write C:\\norq_url.dat",
                            L"write D:\\norq_url.dat", L"end 100", L"end 300"}));
  EXPECT_EQ(sys.files[L"D:\\norqoem.dat"].text, L"测试版\r\n");
  EXPECT_EQ(sys.files[L"C:\\norq_url.dat"].text, std::wstring(kServer) + L"\r\n");
  EXPECT_EQ(Caption(ControlId::EditionLine), L"测试版 专用安装程序");
  EXPECT_EQ(captions[ControlId::StartButton], (Lines{L"稍等，正在检测...", L"开始安装"}));
  EXPECT_TRUE(window.controls().Enabled(ControlId::StartButton));
  EXPECT_TRUE(window.controls().WindowShown());
  EXPECT_EQ(window.ServerUrl(), kServer);
  EXPECT_EQ(Caption(ControlId::ServerLine), kServer);  // hidden, but readable as the server found
  EXPECT_EQ(pointers.requested, (Lines{PrimaryPointerUrl()}));
  EXPECT_TRUE(transfer.executed.empty());
}

TEST_F(Startup, ExistingOemCopiesStayAndMissingDrivesAreSkipped) {
  sys.files[L"C:\\norqoem.dat"].text = L"其他版\r\n";
  sys.unwritable = {L"D:\\norqoem.dat", L"D:\\norq_url.dat"};
  sys.files[L"C:\\norq_url.dat"].text = L"old\r\n";
  sys.files[L"C:\\pkg\\norqoem.dat"].text = L"\r\n第二行\r\n";  // an empty first line is an empty name
  EXPECT_FALSE(Load());
  EXPECT_EQ(sys.files[L"C:\\norqoem.dat"].text, L"其他版\r\n");
  EXPECT_FALSE(sys.files.count(L"D:\\norqoem.dat"));
  EXPECT_EQ(sys.files[L"C:\\norq_url.dat"].text, std::wstring(kServer) + L"\r\n");
  EXPECT_EQ(Caption(ControlId::EditionLine), L" 专用安装程序");
}

TEST(StartupServer, ReplyLengthBoundsOnBothPages) {
  const std::wstring r15(15, L'a'), r16(16, L'b'), r49(49, L'c'), r50(50, L'd');
  const struct { std::wstring primary, secondary, accepted; } cases[] = {
      {r15, r16, r16}, {r16, r49, r16}, {r49, r16, r49}, {r50, r49, r49}, {L"", r16, r16},
      {L"http://a.test/x|y.example", r16, r16},  // "|" belongs in no address
      {L"http://dl.example.test/\r\n", r16, L"http://dl.example.test/\r\n"},
  };
  for (const auto& c : cases) {
    World w;
    w.pointers.pages = {{PrimaryPointerUrl(), c.primary}, {SecondaryPointerUrl(), c.secondary}};
    EXPECT_FALSE(w.Load());
    EXPECT_EQ(w.window.ServerUrl(), c.accepted) << c.primary;
    EXPECT_EQ(w.sys.files[L"D:\\norq_url.dat"].text, c.accepted + L"\r\n");
    EXPECT_EQ(w.pointers.requested.size(), c.accepted == c.primary ? 1u : 2u);
  }
}

TEST_F(Startup, NoUsableServerShowsTheMessageOverTheWindowAndEnds) {
  pointers.pages.clear();
  sys.files[L"C:\\norq_url.dat"].text = L"earlier\r\n";
  EXPECT_TRUE(Load());
  EXPECT_EQ(Lines(sys.log.end() - 2, sys.log.end()),
            (Lines{L"msgbox Quovexa 16 安装的服务器目前不好用，稍后后再安装！", L"end program"}));
  EXPECT_TRUE(sys.windowShownAtMsgBox);
  EXPECT_FALSE(window.controls().Enabled(ControlId::StartButton));
  EXPECT_EQ(Caption(ControlId::StartButton), L"稍等，正在检测...");
  EXPECT_TRUE(sys.files.count(L"C:\\norqoem.dat"));
  EXPECT_EQ(sys.files[L"C:\\norq_url.dat"].text, L"earlier\r\n");
  EXPECT_EQ(pointers.requested, (Lines{PrimaryPointerUrl(), SecondaryPointerUrl()}));
}

TEST(StartupCommandLine, OnlyTheExactWordRefreshStartsTheInstallation) {
  for (const wchar_t* commandLine : {L"REFRESH", L"refresh", L"REFRESH ", L"REFRESH X", L""}) {
    World w;
    w.sys.commandLine = commandLine;
    EXPECT_FALSE(w.Load());
    EXPECT_EQ(w.transfer.executed.size(), commandLine == std::wstring(L"REFRESH") ? 1u : 0u) << commandLine;
  }
}

TEST(KillProcessByTitle, EndsEveryOwnerOfTheTitleAndStopsAtOneItCannotEnd) {
  FakeSystem sys;
  sys.windows = {{1, {L"norq", 100}}, {2, {L"norq", 200}}, {3, {L"norqx", 300}}};
  KillProcessByTitle(sys, L"norq");
  EXPECT_EQ(sys.log, (Lines{L"end 100", L"end 200"}));

  sys.windows = {{1, {L"norq", 100}}, {2, {L"norq", 200}}};
  sys.cannotOpen = {100};
  KillProcessByTitle(sys, L"norq");
  EXPECT_EQ(sys.windows.size(), 2u);
  sys.cannotOpen.clear();
  sys.cannotEnd = {100};
  sys.log.clear();
  KillProcessByTitle(sys, L"norq");
  EXPECT_EQ(sys.log, (Lines{L"end 100"}));  // a process whose ending fails cannot hold the loop
}

}  // namespace norq::test
