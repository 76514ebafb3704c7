#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include "tools/publish/Publish.h"
#include "tools/publish/Sha256.h"
#include "trust/TreeIndex.h"

namespace fs = std::filesystem;

namespace norq::publish {

namespace {
std::string Read(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

class PublishTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Runs of the suite may overlap (ctest -j, several checkouts): each test gets a folder of its own.
    root = fs::temp_directory_path() / ("norq-publish-" + std::to_string(std::random_device{}()) +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(root / "in");
    for (const auto& [name, path] : TreeLayout()) std::ofstream(root / "in" / name, std::ios::binary) << "MZ bytes of " << name << '\0' << "\xff";
    request = {root / "in", "http://dl.example.test:8080", root / "out", false};
  }
  void TearDown() override { fs::remove_all(root); }
  bool Mentions(const std::string& word) {
    const auto problems = Check(request);
    return std::any_of(problems.begin(), problems.end(), [&](const auto& p) { return p.find(word) != std::string::npos; });
  }
  fs::path root;
  Request request;
};
}  // namespace

TEST_F(PublishTest, WritesEveryFileUnderTheNameTheInstallerAsksFor) {
  ASSERT_TRUE(Check(request).empty());
  EXPECT_EQ(Publish(request).size(), 13u);
  for (const auto& [in, out] : {std::pair{"shdocvw.dll", "Soft/System/shdocvwdll.txt"},
                                {"shdocvw.oca", "Soft/System/shdocvwoca.txt"}, {"MCI32.OCX", "Soft/System/MCI32.txt"},
                                {"norq_setup.exe", "norq/Soft/norq_setup.txt"}}) {
    EXPECT_EQ(Read(root / "out" / out), Read(root / "in" / in)) << out;
  }
  for (const char* page : {"out/quindle_www.html", "out/brisel_www.html"}) {
    EXPECT_EQ(Read(root / page), request.baseAddress) << page;
  }
  EXPECT_FALSE(fs::exists(root / "out.publishing"));
  // The index lists what was copied, in the installer's order, as it reads indexes.
  const auto lines = ParseIndex(Read(root / "out/norq/Soft/norq_index.txt"), ManifestServerPaths());
  ASSERT_TRUE(lines);
  EXPECT_EQ(lines->at(1).size, Read(root / "in/MCI32.OCX").size());
  EXPECT_EQ(lines->at(1).sha256, Sha256Of(Read(root / "in/MCI32.OCX")));
  EXPECT_FALSE(fs::exists(root / "out/norq/Soft/norq_index.sig"));
}

TEST_F(PublishTest, RefusesWhatTheInstallerCouldNotUse) {
  EXPECT_EQ(HexDigest(Sha256Of("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(HexDigest(Sha256Of(std::string(1'000'000, 'a'))),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  std::ofstream(root / "in/MCI32.OCX", std::ios::binary) << "<html>";
  std::ofstream(root / "in/stdole2.tlb", std::ios::binary);
  EXPECT_TRUE(Mentions("not a Windows program: MCI32.OCX"));
  EXPECT_TRUE(Mentions("empty file: stdole2.tlb"));
  request.signKey = root / "absent.pem";
  EXPECT_TRUE(Mentions("no key file at"));
  fs::remove(root / "in/MSINET.OCX");
  std::ofstream(root / "in/readme.txt") << "x";
  EXPECT_TRUE(Mentions("missing file: MSINET.OCX"));
  EXPECT_TRUE(Mentions("unexpected file: readme.txt"));
  for (const char* base : {"http://a.test/x", "http://a.test/x|y", "dl.example.test:8080/x",
                           "http://a.test/0123456789012345678901234567890123456"}) {
    request.baseAddress = base;
    EXPECT_TRUE(Mentions("base address")) << base;
  }
  request.baseAddress = "http://a.test/xx";  // 16 characters
  EXPECT_FALSE(Mentions("base address"));
}

TEST_F(PublishTest, NeverWritesIntoOrOverAnEarlierTreeUnlessAsked) {
  fs::create_directories(root / "out");
  std::ofstream(root / "out/old.txt") << "old";
  EXPECT_TRUE(Mentions("not empty"));
  request.replace = true;
  ASSERT_TRUE(Check(request).empty());
  fs::rename(root / "in/COMDLG32.OCX", root / "COMDLG32.OCX");  // vanishes after the check
  EXPECT_THROW(Publish(request), std::exception);
  EXPECT_EQ(Read(root / "out/old.txt"), "old");  // a failure halfway leaves the earlier tree whole
  EXPECT_FALSE(fs::exists(root / "out.publishing"));
  fs::rename(root / "COMDLG32.OCX", root / "in/COMDLG32.OCX");
  Publish(request);
  EXPECT_FALSE(fs::exists(root / "out/old.txt"));
  EXPECT_TRUE(fs::exists(root / "out/Soft/System/comcat.txt"));
  EXPECT_FALSE(fs::exists(root / "out.previous"));
}

}  // namespace norq::publish
