#include "platform/HttpHeaders.h"

#include <algorithm>

namespace norq {

namespace {

wchar_t FoldAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

std::wstring Trim(const std::wstring& text) {
  const auto first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](wchar_t x, wchar_t y) { return FoldAscii(x) == FoldAscii(y); });
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

}  // namespace norq
