#include <gtest/gtest.h>

#include "install/Manifest.h"

namespace norq {

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
  EXPECT_EQ(SplitList(L""), std::vector<std::wstring>{L""});
  EXPECT_EQ(SplitList(L"a||b|"), (std::vector<std::wstring>{L"a", L"", L"b", L""}));
}

}  // namespace norq
