#include "platform/SystemPaths.h"

#include <algorithm>

namespace norq {

std::wstring StartPathFor(std::wstring_view finalPath) {
  constexpr std::size_t kMaxPath = 260;  // MAX_PATH, the terminating null included
  std::wstring plain;
  if (finalPath.substr(0, 8) == L"\\\\?\\UNC\\") {
    plain = L"\\\\" + std::wstring(finalPath.substr(8));
  } else if (finalPath.substr(0, 4) == L"\\\\?\\" && finalPath.size() >= 7 && finalPath[5] == L':' &&
             finalPath[6] == L'\\') {
    plain = finalPath.substr(4);
  } else {
    return std::wstring(finalPath);
  }
  return plain.size() < kMaxPath ? plain : std::wstring(finalPath);
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
