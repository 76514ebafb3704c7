// The signed tree index, the vendor's key and signature as openssl writes
// them, the checks every body passes, and start-up with a keyed installer.
#include <gtest/gtest.h>

#include "FormFixture.h"
#include "platform/Url.h"
#include "trust/BodyCheck.h"
#include "trust/Signature.h"
#include "trust/TreeIndex.h"

namespace norq::test {

namespace {

std::string Hex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return bytes;
}

// A well-formed index of the manifest: line n has digest bytes n and size n + 1.
std::vector<IndexLine> Lines() {
  std::vector<IndexLine> lines;
  for (const auto& path : ManifestServerPaths()) {
    IndexLine line;
    line.sha256.fill(static_cast<std::uint8_t>(lines.size()));
    line.size = lines.size() + 1;
    line.path = path;
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

TEST(TreeIndex, OnlyTheExactFormatListingTheManifestInOrderIsRead) {
  const std::string good = FormatIndex(Lines());
  const auto parsed = ParseIndex(good, ManifestServerPaths());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->at(3).size, 4u);
  EXPECT_EQ(parsed->at(9).path, "/norq/Soft/norq_setup.txt");
  EXPECT_EQ(good.substr(0, 13 + 65), "norq-index 1\n" + std::string(64, '0') + " ");

  auto with = [&](std::size_t line, const std::string& replacement) {
    std::string text = good;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line; ++i) start = text.find('\n', start) + 1;
    return text.replace(start, text.find('\n', start) - start, replacement);
  };
  const std::string line1 = good.substr(13, good.find('\n', 13) - 13);
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = line1;
    return with(1, text.replace(text.find(from), from.size(), to));
  };
  const struct {
    const char* what;
    std::string text;
  } refused[] = {
      {"empty", ""},
      {"another format", with(0, "norq-index 2")},
      {"CR LF line ends", [&] { std::string t; for (char c : good) { if (c == '\n') t += '\r'; t += c; } return t; }()},
      {"no final line end", good.substr(0, good.size() - 1)},
      {"a blank line after", good + "\n"},
      {"an extra line", good + line1 + "\n"},
      {"a line missing", with(10, "").substr(0, with(10, "").size() - 1)},
      {"a duplicated line in place of another", with(2, line1)},
      {"another path", replaced("/Soft/System/comcat.txt", "/Soft/System/other.txt")},
      {"the path with a trailing blank", with(1, line1 + " ")},
      {"upper-case hex", replaced(std::string(64, '0'), std::string(63, '0') + "A")},
      {"a short digest", replaced(std::string(64, '0'), std::string(63, '0'))},
      {"two blanks", replaced(" 1 ", "  1 ")},
      {"a leading zero", replaced(" 1 ", " 01 ")},
      {"size 0", replaced(" 1 ", " 0 ")},
      {"a size beyond any component", replaced(" 1 ", " 99999999999999999999 ")},
      {"a sign", replaced(" 1 ", " +1 ")},
      {"an overlong line", replaced("/Soft/System/comcat.txt", "/Soft/System/comcat.txt" + std::string(9000, 'x'))},
  };
  for (const auto& c : refused) EXPECT_FALSE(ParseIndex(c.text, ManifestServerPaths())) << c.what;
}

TEST(Signature, DerFromOpensslBecomesRawRAndS) {
  // r with its high bit set (a 0x00 pad in DER), s short (left-padded in raw).
  const std::string r = Hex("8f") + std::string(31, '\x11');
  const std::string der = Hex("3026") + Hex("022100") + r + Hex("0201") + Hex("05");
  const auto raw = DerToRawSignature(der);
  ASSERT_TRUE(raw);
  EXPECT_EQ(std::string(raw->begin(), raw->begin() + 32), r);
  EXPECT_EQ(std::string(raw->begin() + 32, raw->end()), std::string(31, '\0') + "\x05");

  const std::string s = Hex("020105");
  const struct {
    const char* what;
    std::string der;
  } refused[] = {
      {"empty", ""},
      {"not a sequence", Hex("3106020105") + s},
      {"a length beyond the bytes", Hex("3007020105") + s},
      {"bytes after the sequence", Hex("3006020105") + s + Hex("00")},
      {"a long-form length", Hex("308106020105") + s},
      {"a negative integer", Hex("3006020185") + s},
      {"a pad that pads nothing", Hex("300702020005") + s},
      {"zero", Hex("3006020100") + s},
      {"an integer of 33 bytes of value", Hex("302702220101") + std::string(32, '\x01') + s},
      {"one integer", Hex("3003020105")},
      {"not an integer", Hex("3006030105") + s},
  };
  for (const auto& c : refused) EXPECT_FALSE(DerToRawSignature(c.der)) << c.what;
}

TEST(Signature, OnlyAP256PublicKeyPemIsRead) {
  const std::string pem =
      "-----BEGIN PUBLIC KEY-----\n"
      "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE/hZJdyPzBC9YdPvLuAgYbSxLr97Q\n"
      "MOzpyYVpzoTRyZRlgArjkouJYvZugNSSiUGV4PMg+kvvRUYKK8T8vx5gZQ==\n"
      "-----END PUBLIC KEY-----\n";
  const auto key = PublicKeyFromPem(pem);
  ASSERT_TRUE(key);
  EXPECT_EQ(std::string(key->begin(), key->end()),
            Hex("fe16497723f3042f5874fbcbb808186d2c4bafded030ece9c98569ce84d1c994"
                "65800ae3928b8962f66e80d492894195e0f320fa4bef45460a2bc4fcbf1e6065"));
  std::string damaged = pem;
  damaged[40] = '*';
  const std::string p384 = "-----BEGIN PUBLIC KEY-----\nMHYwEAYHKoZIzj0CAQYFK4EEACIDYgAE/1zUBwebDWkyhqYjcZHzof3w+xJqihjQ\n-----END PUBLIC KEY-----\n";
  for (const std::string& bad : {std::string(), damaged, p384, pem.substr(0, 60) + pem.substr(62)}) {
    EXPECT_FALSE(PublicKeyFromPem(bad)) << bad;
  }
}

TEST(BodyCheck, EmptyBodiesNonProgramsAndUnlistedBodiesFail) {
  IndexLine line{};
  line.sha256.fill(7);
  line.size = 3;
  Sha256Digest right{}, wrong{};
  right.fill(7);
  EXPECT_TRUE(CheckForName(L"MCI32.OCX", std::nullopt).program);
  EXPECT_TRUE(CheckForName(L"norq_setup.exe", std::nullopt).program);
  EXPECT_FALSE(CheckForName(L"stdole2.tlb", std::nullopt).program);
  EXPECT_FALSE(CheckForName(L"shdocvw.oca", std::nullopt).program);
  const struct {
    const wchar_t* name;
    bool pinned;
    std::uint64_t size;
    std::string_view head;
    const Sha256Digest* digest;
    bool passes;
  } cases[] = {
      {L"stdole2.tlb", false, 0, "", nullptr, false},  // empty, every name
      {L"comcat.dll", false, 0, "", nullptr, false},
      {L"stdole2.tlb", false, 1, "<", nullptr, true},
      {L"comcat.dll", false, 5, "<h", nullptr, false},  // an error page served with 200
      {L"comcat.dll", false, 1, "M", nullptr, false},
      {L"COMDLG32.OCX", false, 2, "MZ", nullptr, true},
      {L"comcat.dll", true, 3, "MZ", &right, true},
      {L"comcat.dll", true, 4, "MZ", &right, false},  // the size differs
      {L"comcat.dll", true, 3, "MZ", &wrong, false},  // one byte differs
      {L"comcat.dll", true, 3, "MZ", nullptr, false},
      {L"stdole2.tlb", true, 3, "xx", &right, true},
  };
  for (const auto& c : cases) {
    const auto check = CheckForName(c.name, c.pinned ? std::optional(line) : std::nullopt);
    EXPECT_EQ(BodyPasses(check, c.size, c.head, c.digest), c.passes) << c.size << " " << c.head;
  }
  EXPECT_TRUE(IsSecureAddress(L"HTTPS://a.test/"));
  EXPECT_FALSE(IsSecureAddress(L"http://a.test/"));
}

// Start-up of a keyed installer: an index and signature on each server.
class KeyedStartup : public FormTest {
 protected:
  KeyedStartup() : keyed(sys, inet1, inet2, sys.trustedKey) {
    inet2.pages[SecondaryPointerUrl()] = kSecondServer;
    Publish(kServer);
    Publish(kSecondServer);
  }

  void Publish(const std::wstring& server, std::string index = FormatIndex(Lines())) {
    const std::string r = Hex("0220") + std::string(32, static_cast<char>(FakeSystem::SignatureByte(index)));
    inet2.files[server + L"/norq/Soft/norq_index.sig"] = Hex("3044") + r + r;
    inet2.files[server + L"/norq/Soft/norq_index.txt"] = std::move(index);
  }
  bool LoadKeyed() { return Ends([&] { keyed.Form_Load(); }); }

  static constexpr wchar_t kSecondServer[] = L"http://dl2.example.test:8080";
  FrmUpdate keyed;
};

TEST_F(KeyedStartup, ASignedIndexPinsEveryBody) {
  EXPECT_FALSE(LoadKeyed());
  EXPECT_EQ(keyed.ServerUrl(), kServer);
  EXPECT_EQ(inet2.requested, (std::vector<std::wstring>{PrimaryPointerUrl(), std::wstring(kServer) + L"/norq/Soft/norq_index.txt",
                                                        std::wstring(kServer) + L"/norq/Soft/norq_index.sig"}));
  keyed.Command_refresh_Click();
  ASSERT_EQ(inet1.expected.size(), 1u);
  EXPECT_TRUE(inet1.expected[0].program);
  ASSERT_TRUE(inet1.expected[0].pinned);
  EXPECT_EQ(inet1.expected[0].pinned->path, "/Soft/System/comcat.txt");
  EXPECT_EQ(inet1.expected[0].pinned->size, 1u);
}

TEST_F(KeyedStartup, AServerWhoseIndexFailsIsAFailedPage) {
  const auto index = FormatIndex(Lines());
  const struct {
    const char* what;
    std::function<void()> spoil;
  } cases[] = {
      {"no index", [&] { inet2.files.erase(std::wstring(kServer) + L"/norq/Soft/norq_index.txt"); }},
      {"no signature", [&] { inet2.files.erase(std::wstring(kServer) + L"/norq/Soft/norq_index.sig"); }},
      {"a changed index", [&] { inet2.files[std::wstring(kServer) + L"/norq/Soft/norq_index.txt"] += "x"; }},
      {"another key", [&] { sys.trustedKey[5] = 9; }},
      {"a signature that is not DER", [&] { inet2.files[std::wstring(kServer) + L"/norq/Soft/norq_index.sig"] = std::string(64, static_cast<char>(FakeSystem::SignatureByte(index))); }},
      {"signed but malformed", [&] { Publish(kServer, index + "\n"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sys.log.clear();
    sys.files.erase(L"C:\\norq_url.dat");
    sys.trustedKey = P256PublicKey{1};
    Publish(kServer);
    c.spoil();
    FrmUpdate form2(sys, inet1, inet2, P256PublicKey{1});
    const bool ended = Ends([&] { form2.Form_Load(); });
    if (sys.trustedKey != P256PublicKey{1}) {  // neither server's index is signed by the installer's key
      EXPECT_TRUE(ended);
      EXPECT_EQ(sys.log.at(sys.log.size() - 2), L"msgbox Quovexa 16 安装的服务器目前不好用，稍后后再安装！");
      EXPECT_FALSE(sys.files.count(L"C:\\norq_url.dat"));
    } else {
      EXPECT_FALSE(ended);
      EXPECT_EQ(form2.ServerUrl(), kSecondServer);
      EXPECT_EQ(sys.files[L"C:\\norq_url.dat"].text, std::wstring(kSecondServer) + L"\r\n");
    }
  }
}

}  // namespace norq::test
