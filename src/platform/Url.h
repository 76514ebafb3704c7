#pragma once
#include <string>

namespace norq {

// The address a request is made for: control characters (a pointer page's
// trailing line break, carried into every download address) are removed, as
// browsers do when they parse an address. Everything else is left as it is.
std::wstring RequestAddress(const std::wstring& url);

// Whether an address is https (the scheme in any letter case).
bool IsSecureAddress(const std::wstring& url);

}  // namespace norq
