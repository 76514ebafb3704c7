#include "platform/Http.h"

#include <algorithm>
#include <iterator>

#include "core/Text.h"
#include "platform/FailureCategory.h"

namespace norq {

namespace {

std::wstring Seconds(std::uint32_t milliseconds) {
  std::wstring fraction = std::to_wstring(milliseconds % 1000);
  return std::to_wstring(milliseconds / 1000) + L"." + std::wstring(3 - fraction.size(), L'0') + fraction + L" s";
}

}  // namespace

std::wstring RequestAddress(const std::wstring& url) {
  std::wstring clean;
  clean.reserve(url.size());
  std::copy_if(url.begin(), url.end(), std::back_inserter(clean),
               [](wchar_t c) { return c >= 0x20 && c != 0x7F; });
  return clean;
}

bool IsSecureAddress(const std::wstring& url) {
  constexpr std::wstring_view kScheme = L"https://";
  if (url.size() < kScheme.size()) return false;
  return std::equal(kScheme.begin(), kScheme.end(), url.begin(),
                    [](wchar_t want, wchar_t c) { return want == AsciiLower(c); });
}

bool StatusSucceeds(std::uint32_t status) { return status >= 200 && status <= 299; }

std::wstring Trim(const std::wstring& text) {
  const auto first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](wchar_t x, wchar_t y) { return AsciiLower(x) == AsciiLower(y); });
}

std::wstring FindHeader(const Headers& headers, const std::wstring& name) {
  for (const auto& [key, value] : headers) {
    if (SameName(key, name)) return value;
  }
  return {};
}

Headers ParseHeaderBlock(const std::wstring& raw) {
  Headers headers;
  std::size_t start = raw.find(L"\r\n");  // the status line carries no header
  while (start != std::wstring::npos) {
    start += 2;
    const std::size_t end = raw.find(L"\r\n", start);
    const std::wstring line = raw.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    const std::size_t colon = line.find(L':');
    if (colon != std::wstring::npos) headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    start = end;
  }
  return headers;
}

std::int64_t ParseContentLength(const std::wstring& text) {
  constexpr std::int64_t kMax = INT64_MAX / 10 - 10;
  std::int64_t value = 0;
  bool negative = false, anyDigit = false;
  for (wchar_t c : text) {
    if (c == L' ' || c == L'\t' || c == L'\n') continue;
    if (!anyDigit && !negative && (c == L'-' || c == L'+')) {
      negative = c == L'-';
      continue;
    }
    if (c < L'0' || c > L'9') break;
    anyDigit = true;
    if (value > kMax) return 0;  // beyond any real body: treat as unknown
    value = value * 10 + (c - L'0');
  }
  return negative ? 0 : value;
}

std::wstring TransferText(const std::wstring& url, const TransferFacts& facts) {
  std::wstring text = url + L": ";
  text += facts.status ? L"HTTP " + std::to_wstring(facts.status) : std::wstring(L"no HTTP status");
  text += L", declared " + (facts.declared ? std::to_wstring(facts.declared) + L" bytes" : std::wstring(L"no length"));
  text += L", received " + std::to_wstring(facts.received) + L" bytes in " + Seconds(facts.milliseconds);
  if (facts.cause == FailureCause::None) return text;
  return text + L", failed: " + FailureText(facts);
}

std::wstring FailureText(const TransferFacts& facts) {
  std::wstring text = FailureCategory(facts);
  if (!facts.failure.empty()) text += L": " + facts.failure;
  return text;
}

}  // namespace norq
