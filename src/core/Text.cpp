#include "core/Text.h"

namespace norq {

std::string_view FirstLine(std::string_view bytes) {
  return bytes.substr(0, bytes.find('\r'));
}

namespace {
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
}  // namespace

CommandLineParts SplitCommandLine(std::wstring_view commandLine) {
  std::size_t i = 0;
  while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
  std::wstring_view program;
  if (i < commandLine.size() && commandLine[i] == L'"') {
    const auto close = commandLine.find(L'"', i + 1);
    const auto end = close == std::wstring_view::npos ? commandLine.size() : close;
    program = commandLine.substr(i + 1, end - i - 1);
    i = close == std::wstring_view::npos ? commandLine.size() : close + 1;
  } else {
    const std::size_t start = i;
    while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
    program = commandLine.substr(start, i - start);
  }
  while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
  return {program, commandLine.substr(i)};
}

std::wstring OneLine(std::wstring_view text) {
  static constexpr wchar_t kHex[] = L"0123456789abcdef";
  std::wstring line;
  line.reserve(text.size());
  for (const wchar_t c : text) {
    if (c == L'\r') {
      line += L"\\r";
    } else if (c == L'\n') {
      line += L"\\n";
    } else if (c == L'\t') {
      line += L"\\t";
    } else if (c < 0x20 || c == 0x7f) {
      line += {L'\\', L'x', kHex[(c >> 4) & 0xf], kHex[c & 0xf]};
    } else {
      line += c;
    }
  }
  return line;
}

}  // namespace norq
