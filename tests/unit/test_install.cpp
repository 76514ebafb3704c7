#include "WindowFixture.h"
#include "install/Plan.h"
#include "install/Registration.h"
#include "install/Walk.h"

namespace norq::test {

// Addresses and paths are joined as they stand, nothing normalised.
TEST(Plan, EveryEntryInTheManifestsOrderWithItsAddressPathAndPin) {
  std::vector<IndexLine> pins(kManifest.size());
  for (std::size_t i = 0; i < pins.size(); ++i) pins[i].size = i + 1;
  const auto plan = PlanInstallation(L"http://h.test/", L"C:\\WINDOWS\\system32", L"C:\\pkg", pins);
  ASSERT_EQ(plan.size(), 10u);
  EXPECT_EQ(plan[0].url, L"http://h.test//Soft/System/comcat.txt");
  EXPECT_EQ(plan[0].localPath, L"C:\\WINDOWS\\system32\\comcat.dll");
  EXPECT_EQ(plan[4].localPath, L"C:\\WINDOWS\\system32\\shdocvw.oca");
  EXPECT_EQ(plan[8].fileName, L"MSADODC.OCX");
  EXPECT_EQ(plan[9].kind, EntryKind::SetupProgram);
  EXPECT_EQ(plan[9].url, L"http://h.test//norq/Soft/norq_setup.txt");
  EXPECT_EQ(plan[9].localPath, L"C:\\pkg\\norq_setup.exe");
  for (std::size_t i = 0; i < plan.size(); ++i) EXPECT_EQ(plan[i].pinned->size, i + 1);
  const auto bare = PlanInstallation(L"u", L"", L"E:\\", {});
  EXPECT_FALSE(bare[0].pinned);  // a build without a key
  EXPECT_EQ(bare[1].localPath, L"\\MCI32.OCX");
  EXPECT_EQ(bare[9].localPath, L"E:\\\\norq_setup.exe");
  EXPECT_EQ(PlanInstallation(L"u", L"C:\\S\\", L"E:", {})[1].localPath, L"C:\\S\\MCI32.OCX");
  pins.pop_back();
  EXPECT_THROW(PlanInstallation(L"u", L"", L"E:\\", pins), RuntimeError);  // an index that is not the manifest's
}

// Without a system folder nothing is started: a bare name would be searched for.
TEST(Registration, TheToolByItsFullPathSilentTheComponentQuoted) {
  const struct { std::wstring folder, path, program, line; } cases[] = {
      {L"C:\\Windows\\system32", L"C:\\Windows\\system32\\comcat.dll", L"C:\\Windows\\system32\\regsvr32.exe",
       L"\"C:\\Windows\\system32\\regsvr32.exe\" /s \"C:\\Windows\\system32\\comcat.dll\""},
      {L"C:\\WINDOWS\\system32\\", L"D:\\My Files\\a b.ocx", L"C:\\WINDOWS\\system32\\regsvr32.exe",
       L"\"C:\\WINDOWS\\system32\\regsvr32.exe\" /s \"D:\\My Files\\a b.ocx\""},
      {L"E:\\Win Dir\\sys", L"x", L"E:\\Win Dir\\sys\\regsvr32.exe", L"\"E:\\Win Dir\\sys\\regsvr32.exe\" /s \"x\""},
  };
  for (const auto& c : cases) {
    const ProgramStart start = RegistrationCommand(c.folder, c.path);
    EXPECT_EQ(start.program, c.program);
    EXPECT_EQ(start.commandLine, c.line);
  }
  FakeSystem sys;
  RegisterComponent(sys, L"", L"p1");
  EXPECT_TRUE(sys.hiddenStarts.empty());
  EXPECT_EQ(sys.supportLog, Lines{L"not registered, no system folder: p1"});
}

// A folder of a component's name is no component; the setup program is fetched every time.
TEST(Walk, RegistersWhatIsPresentAndStopsAtTheNextFileToFetch) {
  const std::vector<PlannedEntry> plan = {{EntryKind::Component, L"a.dll", L"ua", L"pa", {}},
                                          {EntryKind::Component, L"b.ocx", L"ub", L"pb", {}},
                                          {EntryKind::Component, L"c.tlb", L"uc", L"pc", {}},
                                          {EntryKind::SetupProgram, L"s.exe", L"us", L"ps", {}}};
  FakeSystem sys;
  sys.files[L"pa"].attributes = kAttrHidden | kAttrSystem | kAttrReadOnly;
  sys.files[L"pb"].folder = true;
  sys.files[L"pc"].bytes = "x";
  sys.files[L"ps"].bytes = "MZ";
  Lines shown;
  const auto show = [&](const std::wstring& text) { shown.push_back(text); };
  EXPECT_EQ(WalkToNextDownload(plan, 0, sys, L"S", show), 1u);
  EXPECT_EQ(shown, (Lines{L"状态: 检查 a.dll ...", L"状态: 注册 a.dll ...", L"状态: 检查 b.ocx ..."}));
  EXPECT_EQ(sys.log, Lines{L"start \"S\\regsvr32.exe\" /s \"pa\""});
  EXPECT_EQ(WalkToNextDownload(plan, 2, sys, L"S", show), 3u);
  EXPECT_EQ(WalkToNextDownload(plan, 4, sys, L"S", show), 4u);
  EXPECT_EQ(sys.supportLog.back(), L"all entries handled");
  EXPECT_EQ(WalkToNextDownload(std::vector<PlannedEntry>(plan.begin(), plan.begin() + 3), 2, sys, L"S", show), 3u);
}

class Installing : public WindowTest {
 protected:
  void SetUp() override { ASSERT_FALSE(Load()); }
};

TEST_F(Installing, AllPresentRegistersNineThenDownloadsTheSetupProgram) {
  for (std::size_t i = 0; i < 9; ++i) sys.files[ComponentPath(i)].bytes = "x";
  sys.files[L"C:\\Windows\\system32\\stdole2.tlb"].attributes = kAttrHidden | kAttrReadOnly | kAttrSystem;
  window.OnStartClicked();
  Lines started = sys.log;
  std::erase_if(started, [](const auto& line) { return line.rfind(L"start ", 0) != 0; });
  ASSERT_EQ(started.size(), 9u);
  EXPECT_EQ(started[8], L"start \"C:\\Windows\\system32\\regsvr32.exe\" /s \"C:\\Windows\\system32\\MSADODC.OCX\"");
  // The tool by its full path, in the system folder that the installer looked up.
  EXPECT_EQ(sys.hiddenStarts, Lines(9, L"C:\\Windows\\system32\\regsvr32.exe in C:\\Windows\\system32"));
  EXPECT_EQ(Caption(ControlId::StatusLine), L"状态: 注册 MSADODC.OCX ...");
  EXPECT_EQ(captions[ControlId::StatusLine].front(), L"状态: 正在准备安装 ...");
  EXPECT_EQ(transfer.executed, (Lines{std::wstring(kServer) + L"/norq/Soft/norq_setup.txt GET"}));
  EXPECT_TRUE(window.controls().Visible(ControlId::ProgressPanel));
  EXPECT_FALSE(window.controls().Enabled(ControlId::StartButton));
}

// A setup program that changed after its download is not started.
TEST_F(Installing, TheLastLineSaysWhetherTheSetupProgramStarted) {
  for (std::size_t i = 0; i < 9; ++i) sys.files[ComponentPath(i)].bytes = "x";
  for (const bool changed : {false, true}) {
    window.StartWalk();
    sys.beforeHold = [&] {
      if (changed) sys.files[L"C:\\pkg\\norq_setup.exe"].bytes = "#!/bin/sh not a program";
    };
    transfer.Respond("MZ", L"2");
    sys.log.clear();
    EXPECT_TRUE(Ends([&] { window.OnTransferState(icResponseCompleted); }));
    EXPECT_EQ(sys.log, changed ? Lines{L"end program"} : (Lines{L"open C:\\pkg\\norq_setup.exe", L"end program"}));
    EXPECT_EQ(sys.supportLog.back(), changed ? L"end: the setup program C:\\pkg\\norq_setup.exe was not started: does not pass"
                                             : L"end: the setup program C:\\pkg\\norq_setup.exe was started");
  }
}

}  // namespace norq::test
