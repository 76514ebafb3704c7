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
std::string GoodIndex() {
  std::vector<IndexLine> lines;
  for (const auto& path : ManifestServerPaths()) {
    lines.push_back({{}, lines.size() + 1, path});
    lines.back().sha256.fill(static_cast<std::uint8_t>(lines.size() - 1));
  }
  return FormatIndex(lines);
}

}  // namespace

TEST(TreeIndex, OnlyTheExactFormatListingTheManifestInOrderIsRead) {
  const std::string good = GoodIndex();
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
  const std::string line1 = good.substr(13, good.find('\n', 13) - 13), zeros(64, '0');
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = line1;
    return with(1, text.replace(text.find(from), from.size(), to));
  };
  std::string crlf;
  for (char c : good) crlf += c == '\n' ? "\r\n" : std::string(1, c);
  const std::string refused[] = {
      "", with(0, "norq-index 2"), crlf, good.substr(0, good.size() - 1), good + "\n", good + line1 + "\n",
      with(10, "").substr(0, with(10, "").size() - 1),  // a line missing
      with(2, line1),                                   // a line repeated in place of another
      replaced("/Soft/System/comcat.txt", "/Soft/System/other.txt"), with(1, line1 + " "),
      replaced(zeros, zeros.substr(1) + "A"), replaced(zeros, zeros.substr(1)),  // upper-case hex, a short digest
      replaced(" 1 ", "  1 "), replaced(" 1 ", " 01 "), replaced(" 1 ", " 0 "), replaced(" 1 ", " +1 "),
      replaced(" 1 ", " 99999999999999999999 "),  // beyond any component
      replaced("/Soft/System/comcat.txt", "/Soft/System/comcat.txt" + std::string(9000, 'x')),
  };
  for (const auto& text : refused) EXPECT_FALSE(ParseIndex(text, ManifestServerPaths())) << text.substr(0, 200);
}

TEST(Signature, DerFromOpensslBecomesRawRAndS) {
  // r with its high bit set (a 0x00 pad in DER), s short (left-padded in raw).
  const std::string r = Hex("8f") + std::string(31, '\x11');
  const auto raw = DerToRawSignature(Hex("3026022100") + r + Hex("020105"));
  ASSERT_TRUE(raw);
  EXPECT_EQ(std::string(raw->begin(), raw->begin() + 32), r);
  EXPECT_EQ(std::string(raw->begin() + 32, raw->end()), std::string(31, '\0') + "\x05");

  const std::string s = Hex("020105");
  const std::string refused[] = {
      "",
      Hex("3106020105") + s,                               // not a sequence
      Hex("3007020105") + s,                               // a length beyond the bytes
      Hex("3006020105") + s + Hex("00"),                   // bytes after the sequence
      Hex("308106020105") + s,                             // a long-form length
      Hex("3006020185") + s,                               // a negative integer
      Hex("300702020005") + s,                             // a pad that pads nothing
      Hex("3006020100") + s,                               // zero
      Hex("302702220101") + std::string(32, '\x01') + s,  // 33 bytes of value
      Hex("3003020105"),                                   // one integer
      Hex("3006030105") + s,                               // not an integer
  };
  for (const auto& der : refused) EXPECT_FALSE(DerToRawSignature(der)) << der.size();
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
  const std::string p384 =
      "-----BEGIN PUBLIC KEY-----\nMHYwEAYHKoZIzj0CAQYFK4EEACIDYgAE/1zUBwebDWkyhqYjcZHzof3w+xJqihjQ\n-----END PUBLIC KEY-----\n";
  const std::string damaged = pem.substr(0, 40) + "*" + pem.substr(41), cut = pem.substr(0, 60) + pem.substr(62);
  for (const std::string& bad : {std::string(), damaged, p384, cut}) {
    EXPECT_FALSE(PublicKeyFromPem(bad)) << bad;
  }
}

TEST(BodyCheck, EmptyBodiesNonProgramsAndUnlistedBodiesFail) {
  const IndexLine line{Sha256Digest{7, 7, 7}, 3, ""};
  const Sha256Digest right = line.sha256, wrong{7, 7};
  const struct {
    const wchar_t* name;
    bool pinned;
    std::uint64_t size;
    std::string_view head;
    const Sha256Digest* digest;
    bool passes;
  } cases[] = {
      {L"stdole2.tlb", false, 0, "", nullptr, false}, {L"comcat.dll", false, 0, "", nullptr, false},  // empty
      {L"stdole2.tlb", false, 1, "<", nullptr, true},  {L"shdocvw.oca", false, 1, "<", nullptr, true},
      {L"comcat.dll", false, 5, "<h", nullptr, false},  // an error page served with 200
      {L"norq_setup.exe", false, 1, "M", nullptr, false}, {L"COMDLG32.OCX", false, 2, "MZ", nullptr, true},
      {L"MCI32.OCX", false, 2, "ZM", nullptr, false},
      {L"comcat.dll", true, 3, "MZ", &right, true},     {L"comcat.dll", true, 4, "MZ", &right, false},  // size
      {L"comcat.dll", true, 3, "MZ", &wrong, false},     {L"comcat.dll", true, 3, "MZ", nullptr, false},
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
  KeyedStartup() {
    inet2.pages[SecondaryPointerUrl()] = kSecondServer;
    Publish(kServer);
    Publish(kSecondServer);
  }
  void Publish(const std::wstring& server, std::string index = GoodIndex()) {
    const std::string r = Hex("0220") + std::string(32, static_cast<char>(FakeSystem::SignatureByte(index)));
    inet2.files[server + L"/norq/Soft/norq_index.sig"] = Hex("3044") + r + r;
    inet2.files[server + L"/norq/Soft/norq_index.txt"] = std::move(index);
  }
  static constexpr wchar_t kSecondServer[] = L"http://dl2.example.test:8080";
  const std::wstring index = std::wstring(kServer) + L"/norq/Soft/norq_index.txt";
  const std::wstring signature = std::wstring(kServer) + L"/norq/Soft/norq_index.sig";
};

TEST_F(KeyedStartup, ASignedIndexPinsEveryBody) {
  FrmUpdate keyed(sys, inet1, inet2, sys.trustedKey);
  EXPECT_FALSE(Ends([&] { keyed.Form_Load(); }));
  EXPECT_EQ(keyed.ServerUrl(), kServer);
  EXPECT_EQ(inet2.requested, (Lines{PrimaryPointerUrl(), index, signature}));
  keyed.Command_refresh_Click();
  ASSERT_EQ(inet1.expected.size(), 1u);
  EXPECT_TRUE(inet1.expected[0].program);
  ASSERT_TRUE(inet1.expected[0].pinned);
  EXPECT_EQ(inet1.expected[0].pinned->path, "/Soft/System/comcat.txt");
  EXPECT_EQ(inet1.expected[0].pinned->size, 1u);
}

TEST_F(KeyedStartup, AServerWhoseIndexFailsIsAFailedPage) {
  const std::function<void()> spoilers[] = {
      [&] { inet2.files.erase(index); },
      [&] { inet2.files.erase(signature); },
      [&] { inet2.files[index] += "x"; },  // changed after signing
      [&] { inet2.files[signature] = std::string(64, static_cast<char>(FakeSystem::SignatureByte(inet2.files[index]))); },
      [&] { Publish(kServer, GoodIndex() + "\n"); },  // signed but malformed
  };
  for (const auto& spoil : spoilers) {
    Publish(kServer);
    spoil();
    FrmUpdate keyed(sys, inet1, inet2, sys.trustedKey);
    EXPECT_FALSE(Ends([&] { keyed.Form_Load(); }));
    EXPECT_EQ(keyed.ServerUrl(), kSecondServer);
    EXPECT_EQ(sys.files[L"C:\\norq_url.dat"].text, std::wstring(kSecondServer) + L"\r\n");
    sys.files.erase(L"C:\\norq_url.dat");
  }
  // Neither server's index is signed by the installer's key: no server at all.
  FrmUpdate keyed(sys, inet1, inet2, P256PublicKey{9});
  EXPECT_TRUE(Ends([&] { keyed.Form_Load(); }));
  EXPECT_EQ(sys.log.at(sys.log.size() - 2), L"msgbox Quovexa 16 安装的服务器目前不好用，稍后后再安装！");
  EXPECT_FALSE(sys.files.count(L"C:\\norq_url.dat"));
}

}  // namespace norq::test
