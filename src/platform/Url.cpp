#include "platform/Url.h"

#include <algorithm>

namespace norq {

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
                    [](wchar_t want, wchar_t c) { return want == (c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c); });
}

}  // namespace norq
