#include "tools/publish/RunProgram.h"

namespace norq::publish {

std::wstring WindowsCommandLine(const std::vector<std::wstring>& argv) {
  std::wstring line;
  for (const auto& arg : argv) {
    if (!line.empty()) line += L' ';
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
      line += arg;
      continue;
    }
    // Backslashes are literal except before a quote: double those, and the
    // run before the closing quote, and escape the quotes themselves.
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
      if (c == L'\\') {
        ++backslashes;
        continue;
      }
      line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
      backslashes = 0;
      line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
  }
  return line;
}

}  // namespace norq::publish
