#pragma once
#include <cstdint>
#include <string>

namespace norq {

// The declared length of a response from its "Content-length" text: blanks,
// tabs and line feeds are skipped, reading stops at the first other character
// that cannot continue the number; an empty, non-numeric or negative text
// gives 0, which means "unknown".
std::int64_t ParseContentLength(const std::wstring& text);

}  // namespace norq
