#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include "install/Manifest.h"
#include "tools/publish/Publish.h"
#include "tools/publish/RunProgram.h"
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
    request.serial = 7;
    request.now = 1'796'688'000;  // 2026-12-08T00:00:00Z
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
  const auto index = ParseIndex(Read(root / "out/norq/Soft/norq_index.txt"), ManifestServerPaths());
  ASSERT_TRUE(index);
  EXPECT_EQ(index->lines.at(1).size, Read(root / "in/MCI32.OCX").size());
  EXPECT_EQ(index->lines.at(1).sha256, Sha256Of(Read(root / "in/MCI32.OCX")));
  EXPECT_EQ(index->header.product, "norq");
  EXPECT_EQ(index->header.base, request.baseAddress);
  EXPECT_EQ(index->header.serial, 7u);
  EXPECT_EQ(index->header.expires, request.now + 365 * 86400);
  // The base signed is the one the installer requests for a pointer page of these bytes.
  request.baseAddress = "http://dl.example.test:8080\r\n";
  EXPECT_EQ(MakeHeader(request).base, "http://dl.example.test:8080");
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
  request.baseAddress = "http://a.test/ x";
  EXPECT_TRUE(Mentions("must not hold a blank"));
  for (std::uint64_t serial : {std::uint64_t{0}, kMaxIndexSerial + 1}) {
    request.serial = serial;
    EXPECT_TRUE(Mentions("--serial is a number")) << serial;
  }
  for (int days : {0, kMaxValidDays + 1}) {
    request.validDays = days;
    EXPECT_TRUE(Mentions("--valid-days")) << days;
  }
  request.validDays = kMaxValidDays;
  EXPECT_FALSE(Mentions("--valid-days"));
  for (const char* product : {"", "a b", "n\xc3\xb6rq", "0123456789012345678901234567890123"}) {
    request.product = product;
    EXPECT_TRUE(Mentions("product name")) << product;
  }
}

TEST_F(PublishTest, ReplacesOnlyAnEarlierTreeOfItsOwnAndRemovesOnlyFoldersItMade) {
  // Folders beside `out` that look like its own working folders are someone else's.
  for (const char* folder : {"out.publishing", "out.previous"}) {
    fs::create_directories(root / folder);
    std::ofstream(root / folder / "keep.txt") << "not norq-publish's";
  }
  auto untouched = [&] {
    return Read(root / "out.publishing/keep.txt") == "not norq-publish's" &&
           Read(root / "out.previous/keep.txt") == "not norq-publish's" &&
           std::distance(fs::directory_iterator(root), fs::directory_iterator()) == 4;  // in, out and the two
  };
  fs::create_directories(root / "out");
  std::ofstream(root / "out/old.txt") << "old";
  EXPECT_TRUE(Mentions("not empty"));
  request.replace = true;
  EXPECT_TRUE(Mentions("--replace replaces only such a tree"));  // a folder of the vendor's own files
  fs::remove(root / "out/old.txt");
  Publish(request);
  EXPECT_TRUE(untouched());
  EXPECT_TRUE(Mentions("has serial 7; give a higher --serial"));
  request.serial = 8;
  ASSERT_TRUE(Check(request).empty());
  fs::rename(root / "in/COMDLG32.OCX", root / "COMDLG32.OCX");  // vanishes after the check
  EXPECT_THROW(Publish(request), std::exception);
  EXPECT_EQ(ParseIndex(Read(root / "out/norq/Soft/norq_index.txt"), ManifestServerPaths())->header.serial, 7u);
  fs::rename(root / "COMDLG32.OCX", root / "in/COMDLG32.OCX");
  EXPECT_TRUE(untouched());
  Publish(request);
  EXPECT_EQ(ParseIndex(Read(root / "out/norq/Soft/norq_index.txt"), ManifestServerPaths())->header.serial, 8u);
  EXPECT_TRUE(untouched());
  // An earlier tree that holds anything else, or a link, is not one of its own.
  request.serial = 9;
  for (const auto& extra : {fs::path("out/Soft/notes.txt"), fs::path("out/norq/Soft/norq_index.sig.bak")}) {
    std::ofstream(root / extra) << "x";
    EXPECT_TRUE(Mentions("--replace replaces only such a tree")) << extra;
    fs::remove(root / extra);
  }
  fs::create_directory_symlink(root / "in", root / "out/Soft/linked");
  EXPECT_TRUE(Mentions("--replace replaces only such a tree"));
  fs::remove(root / "out/Soft/linked");
  ASSERT_TRUE(Check(request).empty());
}

// The shell never sees a path: names that a shell would run are files like any other.
TEST_F(PublishTest, SignsWithOpensslStartedWithoutAShell) {
  const fs::path here = fs::current_path();
  fs::current_path(root);  // where a shell's `touch P` would land
  const fs::path key = root / "k$(touch P)`touch P`.pem", pub = root / "public.pem";
  ASSERT_EQ(RunProgram({"openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", key}), 0);
  ASSERT_EQ(RunProgram({"openssl", "ec", "-in", key, "-pubout", "-out", pub}), 0);
  request.signKey = key;
  request.out = root / "x$(touch P)" / "tree";
  ASSERT_TRUE(Check(request).empty());
  Publish(request);
  const fs::path tree = request.out / "norq/Soft";
  EXPECT_EQ(RunProgram({"openssl", "dgst", "-sha256", "-verify", pub, "-signature", tree / "norq_index.sig",
                        tree / "norq_index.txt"}),
            0);
  EXPECT_FALSE(fs::exists(root / "P"));
  fs::current_path(here);
  EXPECT_NE(RunProgram({"false"}), 0);
  EXPECT_THROW(RunProgram({"norq-no-such-program"}), std::runtime_error);
}

// The tool's own digest (its Windows builds') and libcrypto's agree, piece by
// piece and carried on from a copy, across the 64-byte blocks and the padding's edge.
TEST(Sha256, TheTwoDigestsAgreePieceByPieceAndFromACopy) {
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 7);
  for (std::size_t cut : {0, 1, 55, 56, 64, 65, 999, 1000}) {
    PortableSha256 portable;
    Sha256 library;
    portable.Add(bytes.substr(0, cut));
    library.Add(bytes.substr(0, cut));
    PortableSha256 portableRest = portable;
    Sha256 libraryRest = library;
    portableRest.Add(bytes.substr(cut));
    libraryRest.Add(bytes.substr(cut));
    EXPECT_EQ(portableRest.Finish(), Sha256Of(bytes)) << cut;
    EXPECT_EQ(libraryRest.Finish(), Sha256Of(bytes)) << cut;
    EXPECT_EQ(library.Finish(), portable.Finish()) << cut;  // each copy left the prefix's own digest alone
  }
  PortableSha256 abc;
  abc.Add("abc");
  EXPECT_EQ(HexDigest(abc.Finish()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(WindowsCommandLine, EachArgumentComesBackWhole) {
  const struct { std::vector<std::wstring> argv; std::wstring line; } cases[] = {
      {{L"openssl", L"dgst"}, L"openssl dgst"},
      {{L"a b", L""}, L"\"a b\" \"\""},
      {{L"C:\\x y\\"}, L"\"C:\\x y\\\\\""},   // a trailing backslash before the closing quote is doubled
      {{L"C:\\x\\k.pem"}, L"C:\\x\\k.pem"},     // elsewhere backslashes stay as they are
      {{L"say \"hi\""}, L"\"say \\\"hi\\\"\""},
      {{L"a\\\"b"}, L"\"a\\\\\\\"b\""},       // backslashes before a quote are doubled, then the quote escaped
      {{L"a\tb"}, L"\"a\tb\""},
  };
  for (const auto& c : cases) EXPECT_EQ(WindowsCommandLine(c.argv), c.line);
}

}  // namespace norq::publish
