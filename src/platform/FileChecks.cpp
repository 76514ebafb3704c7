#include "platform/FileChecks.h"

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
    case 2:   // ERROR_FILE_NOT_FOUND
    case 3:   // ERROR_PATH_NOT_FOUND
    case 18:  // ERROR_NO_MORE_FILES: the search ran out of entries
    case 53:  // ERROR_BAD_NETPATH: a share that is not there
      return true;
    default:
      return false;
  }
}

bool NameTaken(std::uint32_t win32Code) {
  return win32Code == 80    // ERROR_FILE_EXISTS
         || win32Code == 183;  // ERROR_ALREADY_EXISTS
}

}  // namespace norq

namespace norq {

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

}  // namespace norq
