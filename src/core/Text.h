#pragma once
#include <string>
#include <string_view>

namespace norq {

// The first line of a text file's bytes: everything before the first CR. A
// line feed alone does not end a line; an empty file gives the empty line.
// Splitting the bytes is safe for GBK: a CR is never part of a double-byte
// character.
std::string_view FirstLine(std::string_view bytes);

// The arguments of a Windows command line: the text after the program's name
// (quoted or not) and the blanks that follow it, kept to its last character.
std::wstring ArgumentsOf(std::wstring_view commandLine);

}  // namespace norq
