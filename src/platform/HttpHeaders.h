#pragma once
// A response's headers as the transfer keeps them, and how it finds one.
#include <string>
#include <utility>
#include <vector>

namespace norq {

using Headers = std::vector<std::pair<std::wstring, std::wstring>>;

// Without leading and trailing blanks and tabs.
std::wstring Trim(const std::wstring& text);
// Header names match in any letter case. Names are ASCII tokens, so only
// ASCII letters fold: no other character can pass for a letter of a name.
bool SameName(const std::wstring& a, const std::wstring& b);
// The first header of that name, or the empty text.
std::wstring FindHeader(const Headers& headers, const std::wstring& name);
// The headers of a raw block of CR LF separated lines, the status line first.
// Each "name: value" line gives one header, both trimmed, the value keeping any
// colon of its own; a line without a colon is skipped, and the last line
// counts whether or not a CR LF ends it.
Headers ParseHeaderBlock(const std::wstring& raw);

}  // namespace norq
