#include "platform/SupportLogRules.h"

#include <cstdio>

#include "core/Text.h"
#include "platform/SystemRules.h"

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

std::string SupportLogLine(const LogStamp& stamp, std::wstring_view text) {
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", stamp.year, stamp.month, stamp.day,
                stamp.hour, stamp.minute, stamp.second, stamp.milliseconds,
                static_cast<unsigned long>(stamp.processId));
  return prefix + Utf8Of(OneLine(text)) + "\r\n";
}

bool SupportLogIsFull(std::uint64_t size) { return size > kSupportLogLimit; }

std::wstring OlderSupportLog(std::wstring_view logPath) { return std::wstring(logPath) + L".1"; }

}  // namespace norq
