// norq-publish --verify: which answers of a deployed server an installer
// would trip over, and the whole check against a published tree served by a
// stand-in server with the faults a real one (a CDN, a misconfigured nginx) has.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "tools/publish/OpensslVerify.h"
#include "tools/publish/Publish.h"
#include "tools/publish/RunProgram.h"
#include "tools/publish/ServedReply.h"
#include "tools/publish/VerifyServer.h"

namespace fs = std::filesystem;

namespace norq::publish {

namespace {

ServedReply Answer(long status, std::uint64_t received, std::optional<std::string> length) {
  ServedReply reply;
  reply.status = status;
  reply.received = received;
  reply.contentLength = std::move(length);
  reply.addresses = {"http://dl.example.test/a.txt"};
  return reply;
}

std::string Lines(const std::vector<std::string>& problems) {
  std::string all;
  for (const auto& problem : problems) all += problem + "\n";
  return all;
}

}  // namespace

TEST(ServedReply, OnlyTheLastAnswersHeadersCount) {
  ServedReply reply;
  for (const char* line : {"HTTP/1.1 302 Found\r\n", "content-encoding: gzip\r\n", "Location: /b\r\n", "\r\n",
                           "HTTP/2 206\r\n", "CONTENT-RANGE:  bytes 1-2/3 \r\n", "Content-Length: 2\r\n"}) {
    TakeHeaderLine(reply, line);
  }
  EXPECT_EQ(reply.status, 206);
  EXPECT_EQ(reply.contentEncoding, std::nullopt);
  EXPECT_EQ(reply.contentRange, "bytes 1-2/3");
  EXPECT_EQ(reply.contentLength, "2");
}

TEST(ServedReply, WholeFileAnswersAnInstallerTripsOver) {
  ServedReply gzipped = Answer(200, 7, "7"), downgraded = Answer(200, 10, "10"), upgraded = downgraded;
  gzipped.contentEncoding = "gzip";
  downgraded.addresses = {"https://dl.example.test/a.txt", "https://cdn.example.test/a.txt", "http://cdn.example.test/a.txt"};
  upgraded.addresses = {"http://dl.example.test/a.txt", "https://dl.example.test/a.txt"};
  ServedReply unreachable;
  unreachable.error = "Couldn't connect to server";
  const struct { ServedReply reply; std::string problems; } cases[] = {
      {Answer(200, 10, "10"), ""},
      {upgraded, ""},
      {Answer(404, 0, "0"), "/a.txt: status 404, not 200\n"},
      {gzipped, "/a.txt: sent with Content-Encoding: gzip; serve it byte for byte (gzip off)\n"},
      {downgraded, "/a.txt: redirected from https to plain http (http://cdn.example.test/a.txt), which the installer refuses\n"},
      {Answer(200, 10, std::nullopt), "/a.txt: no Content-Length (the installer's percentage then stands still until the end)\n"},
      {Answer(200, 4, "10"), "/a.txt: Content-Length 10 but 4 bytes came\n"},
      {Answer(200, 12, "12"), "/a.txt: 12 bytes, the index says 10\n"},
      {Answer(200, 10, "ten"), "/a.txt: Content-Length \"ten\" is not a number\n"},
      {unreachable, "/a.txt: no answer: Couldn't connect to server\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Lines(ReplyProblems("/a.txt", c.reply, 10)), c.problems) << c.problems;
}

TEST(ServedReply, ARangeMustBeTheRestOfTheFile) {
  auto partial = [](long status, std::uint64_t received, std::optional<std::string> range) {
    ServedReply reply = Answer(status, received, std::to_string(received));
    reply.contentRange = std::move(range);
    return reply;
  };
  const std::string asked = "/a.txt: a request for bytes=4- ";
  const struct { ServedReply reply; std::string problems; } cases[] = {
      {partial(206, 6, "bytes 4-9/10"), ""},
      {partial(200, 10, std::nullopt), asked + "was answered with status 200, not 206 (a download that breaks must then start again from byte 0)\n"},
      {partial(206, 6, "bytes 4-9/11"), asked + "was answered with Content-Range \"bytes 4-9/11\", not \"bytes 4-9/10\"\n"},
      {partial(206, 6, "bytes 0-5/10"), asked + "was answered with Content-Range \"bytes 0-5/10\", not \"bytes 4-9/10\"\n"},
      {partial(206, 6, std::nullopt), asked + "was answered with 206 but no Content-Range\n"},
      {partial(206, 5, "bytes 4-9/10"), asked + "brought 5 bytes, not 6\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Lines(RangeProblems("/a.txt", c.reply, 4, 10)), c.problems) << c.problems;
}

namespace {

// A server of a published tree, in memory, with the faults of real ones on request.
class TreeServer final : public HttpGet {
 public:
  TreeServer(const fs::path& tree, std::string base) : base_(std::move(base)) {
    for (const auto& item : fs::recursive_directory_iterator(tree)) {
      if (!item.is_regular_file()) continue;
      std::ifstream in(item.path(), std::ios::binary);
      files_["/" + fs::relative(item.path(), tree).generic_string()] = {std::istreambuf_iterator<char>(in), {}};
    }
  }
  ServedReply Get(const std::string& address, const std::string& range,
                  const std::function<void(std::string_view)>& body) override {
    ServedReply reply;
    reply.addresses = {address};
    const auto file = files_.find(address.substr(base_.size()));
    if (address.rfind(base_, 0) != 0 || file == files_.end()) {
      reply.status = 404;
      return reply;
    }
    std::string bytes = file->second;
    reply.status = 200;
    if (!range.empty() && rangeAs != 200) {
      const std::uint64_t from = std::stoull(range);
      reply.status = rangeAs;
      reply.contentRange = "bytes " + std::to_string(from) + "-" + std::to_string(bytes.size() - 1) + "/" +
                           std::to_string(bytes.size());
      bytes = bytes.substr(from - rangeShift);
      bytes.resize(bytes.size() - rangeShift);
    }
    reply.contentLength = std::to_string(bytes.size());
    reply.received = bytes.size();
    // In pieces, as a network delivers them.
    for (std::size_t at = 0; at < bytes.size(); at += 7) body(std::string_view(bytes).substr(at, 7));
    return reply;
  }
  std::map<std::string, std::string> files_;
  long rangeAs = 206;
  std::uint64_t rangeShift = 0;  // the range's bytes start this much too early

 private:
  std::string base_;
};

class VerifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("norq-verify-test-" + std::to_string(std::random_device{}()));
    fs::create_directories(root / "in");
    for (const auto& [name, path] : TreeLayout()) std::ofstream(root / "in" / name, std::ios::binary) << "MZ bytes of " << name;
    std::ofstream setup(root / "in/norq_setup.exe", std::ios::binary | std::ios::app);
    for (int i = 0; i < 1000; ++i) setup.put(static_cast<char>(i % 251));  // a shifted range differs
    setup.close();
    ASSERT_EQ(RunProgram({"openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", root / "key.pem"}), 0);
    ASSERT_EQ(RunProgram({"openssl", "ec", "-in", root / "key.pem", "-pubout", "-out", root / "public.pem"}), 0);
    Request publish{root / "in", kBase, root / "tree", false, root / "key.pem"};
    publish.serial = 7;
    publish.now = kNow;
    ASSERT_TRUE(Check(publish).empty());
    Publish(publish);
  }
  void TearDown() override { fs::remove_all(root); }
  std::string Problems(TreeServer& server, const VerifyRequest& request) {
    return Lines(VerifyServer(server, OpensslSignatureCheck(root / "public.pem"), request).problems);
  }
  static constexpr char kBase[] = "http://dl.example.test:8080";
  static constexpr std::int64_t kNow = 1'796'688'000;  // 2026-12-08T00:00:00Z
  fs::path root;
  VerifyRequest request{kBase, "norq", 7, kNow + 86400};
};

}  // namespace

TEST_F(VerifyTest, AServerOfTheSignedTreePasses) {
  TreeServer server(root / "tree", kBase);
  const Verdict verdict = VerifyServer(server, OpensslSignatureCheck(root / "public.pem"), request);
  EXPECT_EQ(Lines(verdict.problems), "");
  std::uint64_t total = 0;
  for (const auto& item : fs::directory_iterator(root / "in")) total += fs::file_size(item);
  const auto setup = fs::file_size(root / "in/norq_setup.exe");
  EXPECT_EQ(verdict.summary, std::string(kBase) + " serves the signed tree: product norq, serial 7, valid until " +
                                 "2027-12-08T00:00:00Z; 10 files, " + std::to_string(total) + " bytes, each as signed; bytes=" +
                                 std::to_string(setup / 2) + "- of /norq/Soft/norq_setup.txt answered with 206");
}

TEST_F(VerifyTest, EachFaultIsOneLine) {
  TreeServer server(root / "tree", kBase);
  server.files_["/Soft/System/MCI32.txt"][3] ^= 1;
  server.files_.erase("/Soft/System/msxml3.txt");
  EXPECT_EQ(Problems(server, request),
            "/Soft/System/MCI32.txt: its SHA-256 is not the index's (a changed file: publish again)\n"
            "/Soft/System/msxml3.txt: status 404, not 200\n");
  // The installers' own refusal of an index, for the product and address asked about
  // (serial and expiry: the end-to-end cases).
  VerifyRequest other = request;
  other.product = "other";
  EXPECT_NE(Problems(server, other).find("the index is for the product \"norq\""), std::string::npos);
  TreeServer elsewhere(root / "tree", "http://mirror.example.test");
  other = request;
  other.base = "http://mirror.example.test";
  EXPECT_NE(Problems(elsewhere, other).find("is for the base address \"http://dl.example.test:8080\""), std::string::npos);
}

TEST_F(VerifyTest, ASignatureOrRangeThatIsNotTheVendorsFails) {
  TreeServer server(root / "tree", kBase);
  server.files_["/norq/Soft/norq_index.txt"].back() = ' ';
  EXPECT_EQ(Problems(server, request),
            "/norq/Soft/norq_index.sig: does not verify the index under the given key\n"
            "/norq/Soft/norq_index.txt: not a version 2 index listing the installer's files\n");
  TreeServer ranges(root / "tree", kBase);
  ranges.rangeShift = 1;
  const std::string from = std::to_string(fs::file_size(root / "in/norq_setup.exe") / 2);
  EXPECT_EQ(Problems(ranges, request),
            "/norq/Soft/norq_setup.txt: the bytes from " + from + " on, asked for as a range, are not the file's\n");
  ranges.rangeAs = 200;
  EXPECT_NE(Problems(ranges, request).find("bytes=" + from + "- was answered with status 200, not 206"), std::string::npos);
}

}  // namespace norq::publish
