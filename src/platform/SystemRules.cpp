#include "platform/SystemRules.h"

#include <algorithm>

#include "core/Win32Values.h"
#include "platform/System.h"

namespace norq {

bool CountsAsPresent(std::uint32_t attributes, unsigned attrMask) {
  if (attributes & kFileAttributeDirectory) return false;
  if ((attributes & kFileAttributeHidden) && !(attrMask & kAttrHidden)) return false;
  if ((attributes & kFileAttributeSystem) && !(attrMask & kAttrSystem)) return false;
  return true;
}

bool SearchFoundNothing(std::uint32_t win32Code) {
  switch (win32Code) {
    case kErrorFileNotFound:
    case kErrorPathNotFound:
    case kErrorNoMoreFiles:  // the search ran out of entries
    case kErrorBadNetPath:   // a share that is not there
      return true;
    default:
      return false;
  }
}

bool NameTaken(std::uint32_t win32Code) {
  return win32Code == kErrorFileExists || win32Code == kErrorAlreadyExists;
}

MarkerFile ClassifyMarker(std::uint32_t attributes, std::uint32_t numberOfLinks, bool existed) {
  // A link opened as itself names no count of its own worth trusting.
  if (attributes & kFileAttributeReparsePoint) return MarkerFile::Link;
  // 0 is a file being deleted, or a file system that keeps no count: not one name for sure.
  if (numberOfLinks != 1) return MarkerFile::SecondName;
  if (existed && (attributes & (kFileAttributeHidden | kFileAttributeSystem))) return MarkerFile::Hidden;
  return MarkerFile::Plain;
}

const wchar_t* MarkerRefusal(MarkerFile kind) {
  switch (kind) {
    case MarkerFile::Link: return L"a link (reparse point), not written";
    case MarkerFile::SecondName: return L"a file with more than one name, not written";
    case MarkerFile::Hidden: return L"a hidden or system file, not replaced";
    case MarkerFile::Plain: break;
  }
  return L"";
}

std::wstring StartPathFor(std::wstring_view finalPath) {
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

bool IsPassingStartFailure(std::uint32_t win32Code) {
  switch (win32Code) {
    case kErrorNotEnoughMemory:
    case kErrorOutOfMemory:
    case kErrorSharingViolation:  // the program file is held open, by a scanner say
    case kErrorInternalError:     // the new process ended before it had started
    case kErrorNoSystemResources:
      return true;
    default:
      return false;
  }
}

std::uint32_t WaitLeft(std::uint32_t timeoutMs, std::uint64_t spentMs) {
  if (timeoutMs == kWaitForever) return kWaitForever;
  return spentMs >= timeoutMs ? 0 : static_cast<std::uint32_t>(timeoutMs - spentMs);
}

}  // namespace norq
