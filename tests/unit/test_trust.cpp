#include <gtest/gtest.h>

#include "WindowFixture.h"
#include "platform/Http.h"
#include "trust/BodyCheck.h"
#include "trust/Signature.h"
#include "trust/IndexPolicy.h"
#include "trust/TreeIndex.h"
#include "trust/UtcTime.h"

namespace norq::test {

namespace {

std::string Hex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return bytes;
}

constexpr std::int64_t kExpiry = 1'796'774'400;  // 2026-12-09T00:00:00Z, a day after the fake clock's now

// A well-formed index of the manifest for `base`: line n has digest bytes n and size n + 1.
std::string GoodIndex(std::string base = "http://dl.example.test:8080", std::uint64_t serial = 5,
                      std::int64_t expires = kExpiry, std::string product = NORQ_PRODUCT_NAME) {
  std::vector<IndexLine> lines;
  for (const auto& path : ManifestServerPaths()) {
    lines.push_back({{}, lines.size() + 1, path});
    lines.back().sha256.fill(static_cast<std::uint8_t>(lines.size() - 1));
  }
  return FormatIndex({std::move(product), std::move(base), serial, expires}, lines);
}

// `text` with its line `line` (from 0) replaced; an empty `replacement` with its LF drops it.
std::string WithLine(std::string text, std::size_t line, const std::string& replacement, bool drop = false) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < line; ++i) start = text.find('\n', start) + 1;
  const std::size_t end = text.find('\n', start);
  return text.replace(start, end - start + (drop ? 1 : 0), replacement);
}

}  // namespace

TEST(TreeIndex, OnlyTheExactFormatListingTheManifestInOrderIsRead) {
  const std::string good = GoodIndex();
  const auto parsed = ParseIndex(good, ManifestServerPaths());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->lines.at(3).size, 4u);
  EXPECT_EQ(parsed->lines.at(9).path, "/norq/Soft/norq_setup.txt");
  EXPECT_EQ(parsed->header.product, "norq");
  EXPECT_EQ(parsed->header.base, "http://dl.example.test:8080");
  EXPECT_EQ(parsed->header.serial, 5u);
  EXPECT_EQ(parsed->header.expires, kExpiry);
  const std::string head =
      "norq-index 2\nproduct norq\nbase http://dl.example.test:8080\nserial 5\nexpires 2026-12-09T00:00:00Z\n";
  ASSERT_EQ(good.substr(0, head.size() + 65), head + std::string(64, '0') + " ");

  const std::size_t first = head.size();  // where the entry lines begin
  const std::string line1 = good.substr(first, good.find('\n', first) - first), zeros(64, '0');
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = line1;
    return WithLine(good, 5, text.replace(text.find(from), from.size(), to));
  };
  std::string crlf;
  for (char c : good) crlf += c == '\n' ? "\r\n" : std::string(1, c);
  const std::string product = "product norq", base = "base http://dl.example.test:8080", serial = "serial 5",
                    expires = "expires 2026-12-09T00:00:00Z";
  const std::string refused[] = {
      "", WithLine(good, 0, "norq-index 1"), WithLine(good, 0, "norq-index 3"), crlf, good.substr(0, good.size() - 1),
      good + "\n", good + line1 + "\n",
      // Each header field missing, repeated, out of order, and wrong.
      WithLine(good, 1, "", true), WithLine(good, 2, "", true), WithLine(good, 3, "", true), WithLine(good, 4, "", true),
      WithLine(good, 2, product), WithLine(good, 3, base), WithLine(good, 4, serial), WithLine(good, 5, expires),
      WithLine(WithLine(good, 1, base), 2, product), WithLine(WithLine(good, 3, expires), 4, serial),
      WithLine(good, 1, "product"), WithLine(good, 1, "product "), WithLine(good, 1, "product  norq"),
      WithLine(good, 1, "product norq "), WithLine(good, 1, "Product norq"), WithLine(good, 1, "product no rq"),
      WithLine(good, 1, "product " + std::string(33, 'n')), WithLine(good, 1, "product n\xc3\xb6rq"),
      WithLine(good, 2, "base "), WithLine(good, 2, "base http://a b.test:8080"), WithLine(good, 2, "base http://a|b.test"),
      WithLine(good, 2, "base http://a\x7f.test"), WithLine(good, 2, "base http://" + std::string(43, 'a')),
      WithLine(good, 3, "serial 0"), WithLine(good, 3, "serial 05"), WithLine(good, 3, "serial -5"),
      WithLine(good, 3, "serial +5"), WithLine(good, 3, "serial 5 "), WithLine(good, 3, "serial 1000000000000000000"),
      WithLine(good, 4, "expires 2026-12-09 00:00:00Z"), WithLine(good, 4, "expires 2026-12-09T00:00:00"),
      WithLine(good, 4, "expires 2026-13-09T00:00:00Z"), WithLine(good, 4, "expires 1796774400"),
      // The entry lines, as before.
      WithLine(good, 14, "", true),  // a line missing
      WithLine(good, 6, line1),      // a line repeated in place of another
      replaced("/Soft/System/comcat.txt", "/Soft/System/other.txt"), WithLine(good, 5, line1 + " "),
      replaced(zeros, zeros.substr(1) + "A"), replaced(zeros, zeros.substr(1)),  // upper-case hex, a short digest
      replaced(" 1 ", "  1 "), replaced(" 1 ", " 01 "), replaced(" 1 ", " 0 "), replaced(" 1 ", " +1 "),
      replaced(" 1 ", " 99999999999999999999 "),  // beyond any component
      replaced("/Soft/System/comcat.txt", "/Soft/System/comcat.txt" + std::string(9000, 'x')),
  };
  for (const auto& text : refused) EXPECT_FALSE(ParseIndex(text, ManifestServerPaths())) << text.substr(0, 200);
  // The longest base a pointer page can name, and the largest serial, are read.
  const auto longest = ParseIndex(GoodIndex("https://" + std::string(41, 'a'), kMaxIndexSerial), ManifestServerPaths());
  ASSERT_TRUE(longest);
  EXPECT_EQ(longest->header.serial, 999'999'999'999'999'999u);
}

TEST(UtcTime, RealDatesAndTimesOnlyInTheirOneForm) {
  const struct { const char* text; std::int64_t seconds; } times[] = {
      {"1970-01-01T00:00:00Z", 0},           {"2000-02-29T12:34:56Z", 951'827'696},
      {"2026-12-09T00:00:00Z", kExpiry},     {"2038-01-19T03:14:08Z", 2'147'483'648},
      {"2100-03-01T00:00:00Z", 4'107'542'400}, {"9999-12-31T23:59:59Z", kLatestUtcTime},
  };
  for (const auto& t : times) {
    EXPECT_EQ(ParseUtcTime(t.text), t.seconds) << t.text;
    EXPECT_EQ(FormatUtcTime(t.seconds), t.text);
  }
  for (const char* bad : {"1969-12-31T23:59:59Z", "2026-02-29T00:00:00Z", "2100-02-29T00:00:00Z", "2026-04-31T00:00:00Z",
                          "2026-00-10T00:00:00Z", "2026-12-00T00:00:00Z", "2026-12-09T24:00:00Z", "2026-12-09T23:60:00Z",
                          "2026-12-09T23:59:60Z", "2026-12-09t00:00:00Z", "2026-12-09T00:00:00z", "2026-12-9T00:00:00Z",
                          "+026-12-09T00:00:00Z", "2026-12-09T00:00:00.0Z", ""}) {
    EXPECT_FALSE(ParseUtcTime(bad)) << bad;
  }
  // 2026-12-08 00:00:00 UTC as Windows counts it, in 100 ns units from 1601.
  EXPECT_EQ(SecondsFromFileTime(134'411'616'000'000'000 + 9'999'999), 1'796'688'000);
}

TEST(IndexPolicy, AnIndexForAnotherProductBaseOrAnOlderOrExpiredTreeIsRefused) {
  const IndexHeader header{"norq", "http://dl.example.test:8080", 5, kExpiry};
  const IndexPolicy policy{"norq", 5};
  const std::wstring base = L"http://dl.example.test:8080";
  const struct { IndexHeader header; IndexPolicy policy; std::wstring requested; std::int64_t now; std::wstring why; } cases[] = {
      {header, policy, base, kExpiry - 1, L""},  // the last second it holds, at the lowest serial accepted
      {header, {"norq", 1}, RequestAddress(base + L"\r\n"), 0, L""},  // as the installer requests the reply
      {{"other", header.base, 5, kExpiry}, policy, base, 0,
       L"the index is for the product \"other\", this installer is for \"norq\""},
      {{"Norq", header.base, 5, kExpiry}, policy, base, 0,
       L"the index is for the product \"Norq\", this installer is for \"norq\""},
      {header, policy, L"http://mirror.example.test", 0,
       L"the index is for the base address \"http://dl.example.test:8080\", not \"http://mirror.example.test\""},
      {header, policy, base + L"/", 0,
       L"the index is for the base address \"http://dl.example.test:8080\", not \"http://dl.example.test:8080/\""},
      {header, policy, base + L"\r\n", 0,  // a reply not cleaned as requests are
       L"the index is for the base address \"http://dl.example.test:8080\", not \"http://dl.example.test:8080\r\n\""},
      {header, {"norq", 6}, base, 0, L"the index's serial 5 is below this installer's minimum 6"},
      {header, policy, base, kExpiry,
       L"the index expired at 2026-12-09T00:00:00Z; this computer's clock says 2026-12-09T00:00:00Z"},
      {header, policy, base, 2'000'000'000,
       L"the index expired at 2026-12-09T00:00:00Z; this computer's clock says 2033-05-18T03:33:20Z"},
  };
  for (const auto& c : cases) EXPECT_EQ(IndexRefusal(c.header, c.policy, c.requested, c.now), c.why) << c.why;
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
    BodyVerdict verdict;
  } cases[] = {
      {L"stdole2.tlb", false, 0, "", nullptr, BodyVerdict::Empty},
      {L"comcat.dll", false, 0, "", nullptr, BodyVerdict::Empty},
      {L"stdole2.tlb", false, 1, "<", nullptr, BodyVerdict::Passes},
      {L"shdocvw.oca", false, 1, "<", nullptr, BodyVerdict::Passes},
      {L"comcat.dll", false, 5, "<h", nullptr, BodyVerdict::NotAProgram},  // an error page served with 200
      {L"norq_setup.exe", false, 1, "M", nullptr, BodyVerdict::NotAProgram},
      {L"COMDLG32.OCX", false, 2, "MZ", nullptr, BodyVerdict::Passes},
      {L"MCI32.OCX", false, 2, "ZM", nullptr, BodyVerdict::NotAProgram},
      {L"comcat.dll", true, 3, "MZ", &right, BodyVerdict::Passes},
      {L"comcat.dll", true, 4, "MZ", &right, BodyVerdict::NotAsSigned},  // size
      {L"comcat.dll", true, 3, "MZ", &wrong, BodyVerdict::NotAsSigned},
      {L"comcat.dll", true, 3, "MZ", nullptr, BodyVerdict::NotAsSigned},
      {L"comcat.dll", true, 3, "<h", &right, BodyVerdict::NotAProgram},  // the first reason found
      {L"stdole2.tlb", true, 3, "xx", &right, BodyVerdict::Passes},
  };
  for (const auto& c : cases) {
    const auto check = CheckForName(c.name, c.pinned ? std::optional(line) : std::nullopt);
    EXPECT_EQ(JudgeBody(check, c.size, c.head, c.digest), c.verdict) << c.size << " " << c.head;
    EXPECT_EQ(BodyPasses(check, c.size, c.head, c.digest), c.verdict == BodyVerdict::Passes);
  }
  EXPECT_TRUE(IsSecureAddress(L"HTTPS://a.test/"));
  EXPECT_FALSE(IsSecureAddress(L"http://a.test/"));
}

class KeyedStartup : public WindowTest {
 protected:
  KeyedStartup() {
    pointers.pages[SecondaryPointerUrl()] = kSecondServer;
    Publish(kServer);
    Publish(kSecondServer);
  }
  void Publish(const std::wstring& server, std::string index = {}) {
    if (index.empty()) index = GoodIndex(std::string(server.begin(), server.end()));
    const std::string r = Hex("0220") + std::string(32, static_cast<char>(FakeSystem::SignatureByte(index)));
    pointers.files[server + L"/norq/Soft/norq_index.sig"] = Hex("3044") + r + r;
    pointers.files[server + L"/norq/Soft/norq_index.txt"] = std::move(index);
  }
  static constexpr wchar_t kSecondServer[] = L"http://dl2.example.test:8080";
  const std::wstring index = std::wstring(kServer) + L"/norq/Soft/norq_index.txt";
  const std::wstring signature = std::wstring(kServer) + L"/norq/Soft/norq_index.sig";
};

TEST_F(KeyedStartup, ASignedIndexPinsEveryBody) {
  InstallerWindow keyed(sys, transfer, pointers, sys.trustedKey);
  EXPECT_FALSE(Ends([&] { keyed.OnLoad(); }));
  EXPECT_EQ(keyed.ServerUrl(), kServer);
  EXPECT_EQ(pointers.requested, (Lines{PrimaryPointerUrl(), index, signature}));
  keyed.OnStartClicked();
  ASSERT_EQ(transfer.expected.size(), 1u);
  EXPECT_TRUE(transfer.expected[0].program);
  ASSERT_TRUE(transfer.expected[0].pinned);
  EXPECT_EQ(transfer.expected[0].pinned->path, "/Soft/System/comcat.txt");
  EXPECT_EQ(transfer.expected[0].pinned->size, 1u);
}

TEST_F(KeyedStartup, AServerWhoseIndexFailsIsAFailedPage) {
  const std::string v1 = "norq-index 1\n" + GoodIndex().substr(GoodIndex().find("expires ") + 29);
  const struct { std::function<void()> spoil; std::wstring logged; } spoilers[] = {
      {[&] { pointers.files.erase(index); }, L"no index"},
      {[&] { pointers.files.erase(signature); }, L"no signature"},
      {[&] { pointers.files[index] += "x"; }, L"not signed by the built-in key"},  // changed after signing
      {[&] { pointers.files[signature] = std::string(64, static_cast<char>(FakeSystem::SignatureByte(pointers.files[index]))); },
       L"not a DER ECDSA signature"},
      {[&] { Publish(kServer, GoodIndex() + "\n"); }, L"not a version 2 index"},  // signed but malformed
      {[&] { Publish(kServer, v1); }, L"of version 1"},
      // A signed index for another product, base, older serial or past its expiry: IndexPolicy's
      // table and the end-to-end trust cases, which use the real clock and builds.
  };
  for (const auto& [spoil, logged] : spoilers) {
    Publish(kServer);
    spoil();
    sys.supportLog.clear();
    InstallerWindow keyed(sys, transfer, pointers, sys.trustedKey);
    EXPECT_FALSE(Ends([&] { keyed.OnLoad(); }));
    EXPECT_EQ(keyed.ServerUrl(), kSecondServer);
    EXPECT_EQ(sys.files[L"C:\\norq_url.dat"].text, std::wstring(kSecondServer) + L"\r\n");
    sys.files.erase(L"C:\\norq_url.dat");
    const auto refused = std::find_if(sys.supportLog.begin(), sys.supportLog.end(), [](const std::wstring& line) {
      return line.starts_with(std::wstring(L"server ") + kServer + L" not used: ");
    });
    ASSERT_NE(refused, sys.supportLog.end()) << logged;
    EXPECT_NE(refused->find(logged), std::wstring::npos) << *refused;
  }
  // Neither server's index is signed by the installer's key: no server at all.
  InstallerWindow keyed(sys, transfer, pointers, P256PublicKey{9});
  EXPECT_TRUE(Ends([&] { keyed.OnLoad(); }));
  EXPECT_EQ(sys.log.at(sys.log.size() - 2), L"msgbox Quovexa 16 安装的服务器目前不好用，稍后后再安装！");
  EXPECT_FALSE(sys.files.count(L"C:\\norq_url.dat"));
}

}  // namespace norq::test
