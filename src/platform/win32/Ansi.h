#pragma once
// The system ANSI code page (GBK on our users' PCs) is the encoding of the
// marker files that the product and its peers read; inside, text is wide.
#include <string>
#include <string_view>

namespace norq::win32 {

// Characters the code page lacks become the system's default character, as
// every other ANSI program on the PC would write them.
std::string ToAnsi(std::wstring_view text);
// Byte sequences that are not valid in the code page become U+FFFD or the
// system's substitute rather than a failure: a marker is read as best it can be.
std::wstring FromAnsi(std::string_view bytes);

}  // namespace norq::win32
