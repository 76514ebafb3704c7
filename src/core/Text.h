#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norq {

// The first line of a text file's bytes: everything before the first CR. A
// line feed alone does not end a line; an empty file gives the empty line.
// Splitting the bytes is safe for GBK: a CR is never part of a double-byte
// character.
std::string_view FirstLine(std::string_view bytes);

// The bytes of a one-line text file, from its text already encoded: the text,
// then CR LF, which is where the product's peers end their read.
std::string TextLineBytes(std::string encoded);

// A Windows command line cut as the system cuts it: the program's name
// (quoted or not, without its quotes) and the arguments, which are the text
// after the name and the blanks that follow it, kept to their last character.
struct CommandLineParts {
  std::wstring_view program;
  std::wstring_view arguments;
};
CommandLineParts SplitCommandLine(std::wstring_view commandLine);

// Text made to fit on one line of a log: control characters are written as
// escapes (\r, \n, \t, \x1b), so a reply's line break shows as it came.
std::wstring OneLine(std::wstring_view text);

// Text that is ASCII by its nature (entry names, server paths, an index's
// fields, the build's settings), one byte for one character. A character
// outside ASCII, which such text never holds, becomes '?' or U+FFFD rather
// than whatever its low bits happen to spell.
std::string Narrow(std::wstring_view ascii);
std::wstring Widen(std::string_view ascii);

// An ASCII letter in lower case; any other character as it is. The names
// compared this way (header names, schemes, file name endings) are ASCII, so
// no other character can pass for one of their letters.
constexpr wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// A number written in 1 to `maxDigits` decimal digits and nothing else; at
// most 19 digits, so that it cannot overflow.
std::optional<std::uint64_t> DecimalDigits(std::string_view text, std::size_t maxDigits);

// UTF-8 of wide text, whether its wchar_t holds UTF-16 (Windows) or code
// points; a surrogate without its partner becomes U+FFFD.
std::string Utf8Of(std::wstring_view text);

inline std::wstring ArgumentsOf(std::wstring_view commandLine) {
  return std::wstring(SplitCommandLine(commandLine).arguments);
}

}  // namespace norq
