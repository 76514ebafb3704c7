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

}  // namespace norq
