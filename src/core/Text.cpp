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

}  // namespace norq
