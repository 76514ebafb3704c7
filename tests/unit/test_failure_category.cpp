// What the support log calls a failed request: the category by the failed
// call's Win32 code, the reply's status and how far the request had come.
#include <gtest/gtest.h>

#include <string>

#include "platform/FailureCategory.h"
#include "platform/Http.h"

namespace norq::test {

constexpr wchar_t kTlsHint[] = L"; on Windows 7, TLS 1.2 may be off in Internet Options)";

TransferFacts Failed(FailureCause cause, std::uint32_t code = 0, std::uint32_t status = 0, bool connected = false) {
  TransferFacts facts;
  facts.cause = cause;
  facts.win32Code = code;
  facts.status = status;
  facts.connected = connected;
  return facts;
}

TEST(FailureCategory, AFailedCallIsSortedByItsCodeAndHowFarTheRequestCame) {
  const struct {
    std::uint32_t code;
    std::uint32_t status;
    bool connected;
    std::wstring category;
  } cases[] = {
      {12007, 0, false, L"name not resolved (Win32 code 12007)"},
      {11001, 0, false, L"name not resolved (Win32 code 11001)"},  // Wine passes the socket's code on
      {12029, 0, false, L"connection refused or timed out (Win32 code 12029)"},
      {10061, 0, false, L"connection refused or timed out (Win32 code 10061)"},
      {12165, 0, false, L"connection refused or timed out (Win32 code 12165)"},  // the proxy
      // A time-out before the connection is one that never came; after it, a stall.
      {12002, 0, false, L"connection refused or timed out (Win32 code 12002)"},
      {12002, 0, true, L"stall (Win32 code 12002)"},
      {10060, 200, true, L"stall (Win32 code 10060)"},
      // A connection that breaks before the reply is no connection; during the body, a short body.
      {12031, 0, true, L"connection refused or timed out (Win32 code 12031)"},
      {12030, 200, true, L"short body (Win32 code 12030)"},
      {10054, 206, true, L"short body (Win32 code 10054)"},
      {12037, 0, true, std::wstring(L"TLS failure (Win32 code 12037") + kTlsHint},
      {12045, 0, true, std::wstring(L"TLS failure (Win32 code 12045") + kTlsHint},
      {12157, 0, true, std::wstring(L"TLS failure (Win32 code 12157") + kTlsHint},
      // Neighbours that are no failure of the secure channel: WinINet's redirect
      // between http and https, and its content decoding (WinHTTP's 12175 is TLS).
      {12040, 200, true, L"other (Win32 code 12040)"},
      {12175, 200, true, L"other (Win32 code 12175)"},
      {112, 200, true, L"other (Win32 code 112)"},  // the disk is full
      {0, 0, false, L"other"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FailureCategory(Failed(FailureCause::Call, c.code, c.status, c.connected)), c.category) << c.code;
  }
}

TEST(FailureCategory, EveryOtherCauseHasOneCategory) {
  const struct {
    TransferFacts facts;
    std::wstring category;
  } cases[] = {
      {{}, L""},
      {Failed(FailureCause::Status, 0, 404, true), L"HTTP status 404"},
      {Failed(FailureCause::Status, 0, 407, true), L"proxy asks for a login (HTTP 407)"},
      {Failed(FailureCause::Status, 0, 511, true), L"a web page where a program was expected (HTTP 511)"},
      {Failed(FailureCause::Silent, 0, 0, false), L"connection refused or timed out"},
      {Failed(FailureCause::Silent, 0, 0, true), L"stall"},
      {Failed(FailureCause::Silent, 0, 200, false), L"stall"},
      {Failed(FailureCause::ShortBody, 0, 200, true), L"short body"},
      {Failed(FailureCause::WebPage, 0, 200, true), L"a web page where a program was expected"},
      {Failed(FailureCause::Refused, 0, 200, true), L"body refused"},
      {Failed(FailureCause::Other), L"other"},
  };
  for (const auto& c : cases) EXPECT_EQ(FailureCategory(c.facts), c.category) << static_cast<int>(c.facts.cause);
}

TEST(FailureCategory, TheLogLineNamesTheCategoryThenWhatFailed) {
  TransferFacts facts{200, 5000, 1000, 4047, L"InternetReadFile", FailureCause::Call, 10060, true};
  EXPECT_EQ(TransferText(L"http://h/a.txt", facts),
            L"http://h/a.txt: HTTP 200, declared 5000 bytes, received 1000 bytes in 4.047 s, "
            L"failed: stall (Win32 code 10060): InternetReadFile");
  facts = {404, 0, 8, 12, L"", FailureCause::Status};
  EXPECT_EQ(TransferText(L"http://h/b.txt", facts),
            L"http://h/b.txt: HTTP 404, declared no length, received 8 bytes in 0.012 s, failed: HTTP status 404");
  facts.cause = FailureCause::None;  // a success says nothing of failures
  EXPECT_EQ(TransferText(L"http://h/b.txt", facts),
            L"http://h/b.txt: HTTP 404, declared no length, received 8 bytes in 0.012 s");
}

TEST(LooksLikeWebPage, HtmlByItsTypeOrItsFirstTag) {
  const struct {
    std::string_view head;
    std::wstring type;
    bool page;
  } cases[] = {
      {"<html><body>Hotel Wi-Fi", L"", true},
      {"\xEF\xBB\xBF \r\n\t<!DOCTYPE html>", L"", true},
      {"MZ\x90", L"text/html; charset=utf-8", true},
      {"MZ\x90", L"  TEXT/HTML ", true},
      {"", L"application/xhtml+xml", true},
      {"MZ\x90", L"application/octet-stream", false},
      {"MZ\x90", L"text/htmlx", false},
      {"", L"", false},
      {" \r\n", L"", false},
      {"x<html>", L"text/plain", false},
  };
  for (const auto& c : cases) EXPECT_EQ(LooksLikeWebPage(c.head, c.type), c.page) << c.head;
}

}  // namespace norq::test
