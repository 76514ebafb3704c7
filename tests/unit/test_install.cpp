#include "FormFixture.h"
#include "install/Manifest.h"
#include "install/Registration.h"

namespace norq::test {

TEST(Manifest, ListsJoinEveryFieldWithoutNormalising) {
  const auto lists = MakeManifestLists(L"http://h.test/", L"C:\\WINDOWS\\system32", L"C:\\pkg");
  EXPECT_EQ(lists.types, L"|Z|Z|Z|Z|Z|Z|Z|Z|Z|Y");
  EXPECT_EQ(lists.names,
            L"|comcat.dll|MCI32.OCX|stdole2.tlb|shdocvw.dll|shdocvw.oca|msxml3.dll|MSINET.OCX|COMDLG32.OCX"
            L"|MSADODC.OCX|norq_setup.exe");
  EXPECT_EQ(lists.urls,
            L"|http://h.test//Soft/System/comcat.txt|http://h.test//Soft/System/MCI32.txt"
            L"|http://h.test//Soft/System/stdole2.txt|http://h.test//Soft/System/shdocvwdll.txt"
            L"|http://h.test//Soft/System/shdocvwoca.txt|http://h.test//Soft/System/msxml3.txt"
            L"|http://h.test//Soft/System/MSINET.txt|http://h.test//Soft/System/COMDLG32.txt"
            L"|http://h.test//Soft/System/MSADODC.txt|http://h.test//norq/Soft/norq_setup.txt");
  const auto paths = SplitList(lists.paths);
  ASSERT_EQ(paths.size(), 11u);
  EXPECT_EQ(paths[1], L"C:\\WINDOWS\\system32\\comcat.dll");
  EXPECT_EQ(paths[5], L"C:\\WINDOWS\\system32\\shdocvw.oca");
  EXPECT_EQ(paths[10], L"C:\\pkg\\norq_setup.exe");
}

TEST(Manifest, SystemPrefixSetupPathAndSplitEdges) {
  EXPECT_EQ(SystemPrefix(L"C:\\Windows\\system32"), L"C:\\Windows\\system32\\");
  EXPECT_EQ(SystemPrefix(L"C:\\Windows\\system32\\"), L"C:\\Windows\\system32\\");
  EXPECT_EQ(SystemPrefix(L""), L"\\");
  EXPECT_EQ(SetupPath(L"E:\\"), L"E:\\\\norq_setup.exe");
  EXPECT_EQ(SplitList(MakeManifestLists(L"u", L"", L"E:\\").paths)[2], L"\\MCI32.OCX");
  EXPECT_EQ(SplitList(L""), Lines{L""});
  EXPECT_EQ(SplitList(L"a||b|"), (Lines{L"a", L"", L"b", L""}));
}

class InstallQueue : public FormTest {
 protected:
  void SetUp() override { ASSERT_FALSE(Load()); }
  // Replaces the manifest's lists with entries of the given kinds at paths p1, p2, ...
  void Lists(const std::wstring& kinds, const std::wstring& names) {
    form.TypeList = kinds;
    form.NameList = names;
    form.UrlList = L"|u1|u2";
    form.PathList = L"|p1|p2";
  }
};

TEST_F(InstallQueue, AllPresentRegistersNineThenDownloadsTheSetupProgram) {
  for (int i = 0; i < 9; ++i) sys.files[L"C:\\Windows\\system32\\" + std::wstring(kManifestEntries[i].displayName)].bytes = "x";
  sys.files[L"C:\\Windows\\system32\\stdole2.tlb"].attributes = kAttrHidden | kAttrReadOnly | kAttrSystem;
  form.Command_refresh_Click();
  Lines started = sys.log;
  std::erase_if(started, [](const auto& line) { return line.rfind(L"start ", 0) != 0; });
  ASSERT_EQ(started.size(), 9u);
  EXPECT_EQ(started[8], L"start \"C:\\Windows\\system32\\regsvr32.exe\" /s \"C:\\Windows\\system32\\MSADODC.OCX\"");
  // The tool by its full path, in the system folder that the installer looked up.
  EXPECT_EQ(sys.hiddenStarts, Lines(9, L"C:\\Windows\\system32\\regsvr32.exe in C:\\Windows\\system32"));
  EXPECT_EQ(Caption(ControlId::Label3), L"状态: 注册 MSADODC.OCX ...");
  EXPECT_EQ(captions[ControlId::Label3].front(), L"状态: 正在准备安装 ...");
  EXPECT_EQ(inet1.executed, (Lines{std::wstring(kServer) + L"/norq/Soft/norq_setup.txt GET"}));
  EXPECT_TRUE(form.controls().Visible(ControlId::Picture_http));
  EXPECT_FALSE(form.controls().Enabled(ControlId::Command_refresh));
}

TEST_F(InstallQueue, OnlyCapitalZIsAComponentAndTheBoundEndsTheWalk) {
  Lists(L"|z|Z", L"|n1|n2");
  sys.files[L"p1"].bytes = "present but not a component";
  sys.files[L"C:\\pkg\\norq_setup.exe"].bytes = "not checked as a program: n1 is no program's name";
  sys.files[L"p2"].bytes = "x";
  form.Command2_Click();
  EXPECT_EQ(inet1.executed, (Lines{L"u1 GET"}));
  // Kind "z" is handled as the setup program: launched from the installer's folder.
  EXPECT_TRUE(Ends([&] { form.Inet1_StateChanged(icResponseCompleted); }));
  EXPECT_EQ(sys.log[sys.log.size() - 2], L"open C:\\pkg\\norq_setup.exe");

  // A walk of components alone ends at the lists' bound, past the last one.
  Lists(L"|Z|Z", L"|n1|n2");
  sys.files[L"p1"].bytes = "x";
  sys.log.clear();
  EXPECT_NO_THROW(form.Command2_Click());
  EXPECT_EQ(sys.log, (Lines{L"start \"C:\\Windows\\system32\\regsvr32.exe\" /s \"p1\"",
                            L"start \"C:\\Windows\\system32\\regsvr32.exe\" /s \"p2\""}));
  Lists(L"|Z|Z", L"|n1");  // a list shorter than the kinds
  try {
    form.Command2_Click();
    FAIL();
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Number(), ErrorNumber::SubscriptOutOfRange);
  }
}

// The one place the registration's words are made: the tool by its full path,
// its name quoted first, "/s" apart from it, the component quoted.
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
}

TEST_F(InstallQueue, WithoutASystemFolderNothingIsStartedToRegister) {
  Lists(L"|Z|Z", L"|n1|n2");
  sys.files[L"p1"].bytes = "x";
  form.SystemDir.clear();
  form.Command2_Click();
  EXPECT_TRUE(sys.hiddenStarts.empty());
  EXPECT_EQ(sys.supportLog.back(), L"entry 2 downloading: u2 for p2");
  EXPECT_EQ(sys.supportLog[sys.supportLog.size() - 2], L"not registered, no system folder: p1");
}

// What starts is what passes the setup program's check when it is held: a
// file that changed after its download is not started, and the installer ends.
TEST_F(InstallQueue, ASetupProgramThatNoLongerPassesIsNotStarted) {
  Lists(L"|Y", L"|norq_setup.exe");
  form.Command2_Click();
  // What is found at the setup program's name when it is held is no program.
  sys.files[L"C:\\pkg\\norq_setup.exe"].bytes = "#!/bin/sh not a program";
  inet1.Respond("MZ", L"2");
  sys.log.clear();
  EXPECT_TRUE(Ends([&] { form.Inet1_StateChanged(icResponseCompleted); }));
  EXPECT_EQ(sys.log, Lines{L"end program"});
  EXPECT_EQ(sys.supportLog.back(), L"end: the setup program C:\\pkg\\norq_setup.exe was not started: does not pass");
}

}  // namespace norq::test
