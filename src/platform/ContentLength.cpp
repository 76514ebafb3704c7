#include "platform/ContentLength.h"

namespace norq {

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

}  // namespace norq
