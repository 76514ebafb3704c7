#include "WindowFixture.h"

namespace norq::test {

using SupportLog = WindowTest;

// A run that goes wrong in every way the log must explain: a refused pointer
// page, a marker on a missing drive, a component that is present, a download
// that fails with its status and reason.
TEST_F(SupportLog, AFailedRunTellsEachStepAndWhy) {
  sys.commandLine = L"REFRESH";
  sys.unwritable = {L"D:\\norqoem.dat"};
  pointers.pages[PrimaryPointerUrl()] = L"http://short\r\n";
  pointers.pages[SecondaryPointerUrl()] = kServer;
  pointers.facts = {200, 27, 27, 15, L""};
  sys.files[L"C:\\Windows\\system32\\comcat.dll"].bytes = "MZ";
  ASSERT_FALSE(Load());
  transfer.facts = {404, 9, 9, 1250, L"", FailureCause::Status};
  window.OnTransferState(icError);

  const std::wstring mci = std::wstring(kServer) + L"/Soft/System/MCI32.txt";
  EXPECT_EQ(sys.supportLog, (Lines{
      std::wstring(L"norq_installer ") + (L"" NORQ_VERSION) + L" started in C:\\pkg",
      L"command line: REFRESH",
      L"OEM name: 测试版",
      L"marker skipped: D:\\norqoem.dat: error 71 (磁盘未准备好): D:\\norqoem.dat",
      L"pointer page " + PrimaryPointerUrl() + L": HTTP 200, declared 27 bytes, received 27 bytes in 0.015 s, "
          L"reply of 14 characters, refused: 15 characters or fewer",
      L"pointer page " + SecondaryPointerUrl() + L": HTTP 200, declared 27 bytes, received 27 bytes in 0.015 s, "
          L"reply of 27 characters, accepted",
      L"server: " + std::wstring(kServer),
      L"system folder: C:\\Windows\\system32",
      L"entry 1 present: C:\\Windows\\system32\\comcat.dll",
      L"registering: \"C:\\Windows\\system32\\regsvr32.exe\" /s \"C:\\Windows\\system32\\comcat.dll\"",
      L"entry 2 downloading: " + mci + L" for C:\\Windows\\system32\\MCI32.OCX",
      L"download failed: " + mci + L": HTTP 404, declared 9 bytes, received 9 bytes in 1.250 s, failed: HTTP status 404",
  }));
}

// However a run ends, its last line says why, and no earlier line claims an end.
TEST(SupportLogEnd, EveryRunEndsWithOneEndLine) {
  const auto completeSetup = [](World& w) {
    for (std::size_t i = 0; i < 9; ++i) w.sys.files[w.ComponentPath(i)].bytes = "x";
    EXPECT_FALSE(w.Load());
    w.window.OnStartClicked();
    w.transfer.Respond("MZ", L"2");
    w.window.OnTransferState(icResponseCompleted);
  };
  const struct { std::function<void(World&)> run; std::wstring last; } runs[] = {
      {[](World& w) { w.sys.files.erase(L"C:\\pkg\\norqoem.dat"); w.window.OnLoad(); },
       L"end: no C:\\pkg\\norqoem.dat (the package was not unpacked)"},
      {[](World& w) { w.sys.files[L"C:\\pkg\\norqoem.dat"].text.clear(); w.window.OnLoad(); },
       L"end: C:\\pkg\\norqoem.dat is empty (a damaged package)"},
      {[](World& w) { w.pointers.pages.clear(); w.window.OnLoad(); }, L"end: no pointer page named a server"},
      {[](World& w) { EXPECT_FALSE(w.Load()); w.window.OnClose(); }, L"end: the window was closed"},
      {completeSetup, L"end: the setup program C:\\pkg\\norq_setup.exe was started"},
  };
  for (const auto& [run, last] : runs) {
    World w;
    EXPECT_TRUE(Ends([&] { run(w); })) << last;
    EXPECT_EQ(w.sys.supportLog.back(), last);
    EXPECT_EQ(std::count_if(w.sys.supportLog.begin(), w.sys.supportLog.end(),
                            [](const std::wstring& line) { return line.starts_with(L"end:"); }),
              1) << last;
  }
}

}  // namespace norq::test
