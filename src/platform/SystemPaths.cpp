#include "platform/SystemPaths.h"

#include <algorithm>

#include "core/Text.h"

namespace norq {

std::wstring BareProgramName(std::wstring_view commandLine) {
  const std::wstring_view token = SplitCommandLine(commandLine).program;
  if (token.empty() || token.find_first_of(L"\\/:") != std::wstring_view::npos) return {};
  return std::wstring(token);
}

std::wstring SystemProgramPath(std::wstring_view systemFolder, std::wstring_view bareName) {
  std::wstring path(systemFolder);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  path += bareName;
  if (bareName.find(L'.') == std::wstring_view::npos) path += L".exe";
  return path;
}

std::size_t NextPathBuffer(std::size_t answer, std::size_t bufferSize) {
  if (answer < bufferSize) return 0;
  if (bufferSize >= kPathBufferLimit) return bufferSize;
  return std::min(std::max(answer, bufferSize * 2), kPathBufferLimit);
}

std::wstring FolderOfModule(std::wstring_view modulePath) {
  const auto slash = modulePath.find_last_of(L"\\/");
  if (slash == std::wstring_view::npos) return {};
  auto folder = modulePath.substr(0, slash);
  if (!folder.empty() && folder.back() == L':') folder = modulePath.substr(0, slash + 1);
  return std::wstring(folder);
}

std::wstring LandingNameFor(std::wstring_view target, std::uint64_t random) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name(target);
  name += L'.';
  for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(random >> shift) & 0xF];
  return name + L".tmp";
}

std::wstring FileSystemName(std::wstring_view path) {
  // A path already in its long form (the installer started as \\?\C:\...)
  // differs from the file system's name only by its second character.
  if (path.substr(0, 4) == L"\\\\?\\") return L"\\??\\" + std::wstring(path.substr(4));
  if (path.substr(0, 2) == L"\\\\") return L"\\??\\UNC\\" + std::wstring(path.substr(2));
  return L"\\??\\" + std::wstring(path);
}

}  // namespace norq
