#include "platform/SupportLogFolder.h"

#include "platform/FileChecks.h"

namespace norq {

std::wstring SupportLogFolder(std::wstring_view programData) {
  std::wstring folder(programData);
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  return folder + kSupportLogFolderName;
}

bool OwnerOnlyAdministratorsControl(std::wstring_view ownerSid) {
  return ownerSid == L"S-1-5-18" || ownerSid == L"S-1-5-32-544";
}

bool LogFolderUsable(std::uint32_t attributes, bool directory, std::wstring_view ownerSid, bool madeNow) {
  if (!directory || (attributes & kFileAttributeDirectory) == 0 || (attributes & kFileAttributeReparsePoint) != 0) {
    return false;
  }
  return madeNow || OwnerOnlyAdministratorsControl(ownerSid);
}

bool LogFileUsable(std::uint32_t attributes, bool directory, std::uint32_t links) {
  return !directory && (attributes & (kFileAttributeDirectory | kFileAttributeReparsePoint)) == 0 && links == 1;
}

}  // namespace norq
