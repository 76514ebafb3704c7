#include "FormFixture.h"
#include "platform/KillByTitle.h"

namespace norq::test {

using Startup = FormTest;

// Only a plain file counts as the OEM marker: hidden, system or a folder is "not unpacked".
TEST_F(Startup, WithoutAPlainOemMarkerOnlyTheMessageShowsAndNothingIsWritten) {
  const struct {
    const char* what;
    unsigned attributes;
    bool folder, present;
  } cases[] = {{"absent", 0, false, false}, {"hidden", kAttrHidden, false, true},
               {"system", kAttrSystem, false, true}, {"folder", 0, true, true}};
  for (const auto& c : cases) {
    FakeSystem s;
    FakeInet i1, i2;
    if (c.present) s.files[L"C:\\pkg\\norqoem.dat"] = {L"x\r\n", "", c.attributes, c.folder};
    FrmUpdate f(s, i1, i2);
    s.formShown = [&] { return f.controls().FormShown(); };
    EXPECT_TRUE(Ends([&] { f.Form_Load(); })) << c.what;
    EXPECT_EQ(s.log, (std::vector<std::wstring>{L"msgbox Quovexa 16 请先解压，而后再安装！", L"end program"})) << c.what;
    EXPECT_FALSE(s.formShownAtMsgBox) << c.what;
    EXPECT_TRUE(i2.requested.empty()) << c.what;
  }
}

TEST_F(Startup, NormalStartWritesMarkersInOrderAndReadiesTheButton) {
  EXPECT_FALSE(Load());
  EXPECT_EQ(sys.log, (std::vector<std::wstring>{L"write C:\\norqoem.dat", L"write D:\\norqoem.dat",
                                                L"write C:\\norq_url.dat", L"write D:\\norq_url.dat"}));
  EXPECT_EQ(sys.files[L"D:\\norqoem.dat"].text, L"测试版\r\n");
  EXPECT_EQ(sys.files[L"C:\\norq_url.dat"].text, std::wstring(kServer) + L"\r\n");
  EXPECT_EQ(Caption(ControlId::Label_v), L"测试版 专用安装程序");
  EXPECT_EQ(Caption(ControlId::Label1), L"如果安装工作多次无法进行，请联系QQ：4817203695");
  EXPECT_EQ(captions[ControlId::Command_refresh], (std::vector<std::wstring>{L"稍等，正在检测...", L"开始安装"}));
  EXPECT_TRUE(form.controls().Enabled(ControlId::Command_refresh));
  EXPECT_TRUE(form.controls().FormShown());
  EXPECT_EQ(form.ServerUrl(), kServer);
  EXPECT_EQ(inet2.requested, (std::vector<std::wstring>{PrimaryPointerUrl()}));
  EXPECT_TRUE(inet1.executed.empty());
}

TEST_F(Startup, ExistingOemCopiesStayAndMissingDrivesAreSkipped) {
  sys.files[L"C:\\norqoem.dat"].text = L"其他版\r\n";
  sys.unwritable = {L"D:\\norqoem.dat", L"D:\\norq_url.dat"};
  sys.files[L"C:\\norq_url.dat"].text = L"old\r\n";
  sys.files[L"C:\\pkg\\norqoem.dat"].text = L"";  // an empty marker reads as an empty name
  EXPECT_FALSE(Load());
  EXPECT_EQ(sys.files[L"C:\\norqoem.dat"].text, L"其他版\r\n");
  EXPECT_FALSE(sys.files.count(L"D:\\norqoem.dat"));
  EXPECT_EQ(sys.files[L"C:\\norq_url.dat"].text, std::wstring(kServer) + L"\r\n");
  EXPECT_EQ(Caption(ControlId::Label_v), L" 专用安装程序");
}

TEST_F(Startup, ReplyLengthBoundsOnBothPages) {
  const std::wstring r15(15, L'a'), r16(16, L'b'), r49(49, L'c'), r50(50, L'd');
  const struct {
    std::wstring primary, secondary, accepted;
  } cases[] = {
      {r15, r16, r16}, {r16, r49, r16}, {r49, r16, r49}, {r50, r49, r49}, {L"", r16, r16},
      {L"http://a.test/x|y.example", r16, r16},  // a "|" would shift the manifest's lists
      {L"http://dl.example.test/\r\n", r16, L"http://dl.example.test/\r\n"},
  };
  for (const auto& c : cases) {
    FakeSystem s;
    FakeInet i1, i2;
    s.files[L"C:\\pkg\\norqoem.dat"].text = L"x";
    i2.pages = {{PrimaryPointerUrl(), c.primary}, {SecondaryPointerUrl(), c.secondary}};
    FrmUpdate f(s, i1, i2);
    f.Form_Load();
    EXPECT_EQ(f.ServerUrl(), c.accepted) << c.primary;
    EXPECT_EQ(s.files[L"D:\\norq_url.dat"].text, c.accepted + L"\r\n");
    EXPECT_EQ(i2.requested.size(), c.accepted == c.primary ? 1u : 2u);
  }
}

TEST_F(Startup, NoUsableServerShowsTheMessageOverTheWindowAndEnds) {
  inet2.pages.clear();
  sys.files[L"C:\\norq_url.dat"].text = L"earlier\r\n";
  EXPECT_TRUE(Load());
  EXPECT_EQ(sys.log.back(), L"end program");
  EXPECT_EQ(sys.log[sys.log.size() - 2], L"msgbox Quovexa 16 安装的服务器目前不好用，稍后后再安装！");
  EXPECT_TRUE(sys.formShownAtMsgBox);
  EXPECT_FALSE(form.controls().Enabled(ControlId::Command_refresh));
  EXPECT_EQ(Caption(ControlId::Command_refresh), L"稍等，正在检测...");
  EXPECT_TRUE(sys.files.count(L"C:\\norqoem.dat"));
  EXPECT_EQ(sys.files[L"C:\\norq_url.dat"].text, L"earlier\r\n");
  EXPECT_EQ(inet2.requested, (std::vector<std::wstring>{PrimaryPointerUrl(), SecondaryPointerUrl()}));
}

TEST_F(Startup, OnlyTheExactWordRefreshStartsTheInstallation) {
  const struct {
    std::wstring commandLine;
    bool starts;
  } cases[] = {{L"REFRESH", true}, {L"refresh", false}, {L"REFRESH ", false}, {L"REFRESH X", false}, {L"", false}};
  for (const auto& c : cases) {
    FakeSystem s;
    FakeInet i1, i2;
    s.files[L"C:\\pkg\\norqoem.dat"].text = L"x";
    s.commandLine = c.commandLine;
    i2.pages[PrimaryPointerUrl()] = kServer;
    FrmUpdate f(s, i1, i2);
    f.Form_Load();
    EXPECT_EQ(!f.controls().Enabled(ControlId::Command_refresh), c.starts) << c.commandLine;
    EXPECT_EQ(i1.executed.size(), c.starts ? 1u : 0u) << c.commandLine;
  }
}

TEST_F(Startup, RunningProductIsEndedBeforeTheCommandLineIsRead) {
  sys.windows = {{1, {L"norq", 100}}, {2, {L"norq 2", 200}}, {3, {L"norq", 300}}};
  EXPECT_FALSE(Load());
  EXPECT_EQ(sys.windows.size(), 1u);
  EXPECT_EQ(sys.windows.begin()->second.first, L"norq 2");
}

TEST(KillProcessByTitle, EndsEveryOwnerOfTheTitleAndStopsAtOneItCannotEnd) {
  FakeSystem sys;
  sys.windows = {{1, {L"norq", 100}}, {2, {L"norq", 200}}, {3, {L"norqx", 300}}};
  KillProcessByTitle(sys, L"norq");
  EXPECT_EQ(sys.log, (std::vector<std::wstring>{L"end 100", L"end 200"}));

  sys.windows = {{1, {L"norq", 100}}, {2, {L"norq", 200}}};
  sys.cannotOpen = {100};
  KillProcessByTitle(sys, L"norq");
  EXPECT_EQ(sys.windows.size(), 2u);
  sys.cannotOpen.clear();
  sys.cannotEnd = {100};
  const int finds = sys.findCalls;
  KillProcessByTitle(sys, L"norq");
  EXPECT_EQ(sys.findCalls, finds + 1);  // a process whose ending fails cannot hold the loop
}

}  // namespace norq::test
