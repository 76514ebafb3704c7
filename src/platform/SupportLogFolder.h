#pragma once
// Where the support log lives and which folder and file may hold it. The
// installer runs as administrator, so the log goes where only administrators
// write: %ProgramData%\norq, made by the installer with a protected DACL. A
// folder or file that someone else could have made or redirected is not
// written; the log is then off for the run, and nothing else changes.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileChecks.h"

namespace norq {

inline constexpr wchar_t kSupportLogFolderName[] = L"norq";
// Owner Administrators; SYSTEM and Administrators full control, Users read
// and list; inherited by the log files; nothing inherited from ProgramData.
inline constexpr wchar_t kSupportLogFolderSddl[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";

// "<ProgramData>\norq".
std::wstring SupportLogFolder(std::wstring_view programData);

// Whether a folder of this owner (its SID as text, "S-1-5-18") can only have
// been made or given away by an administrator: SYSTEM or Administrators. The
// user's own account does not count, even when it is an administrator's: the
// programs it runs unelevated act as that account too.
bool OwnerOnlyAdministratorsControl(std::wstring_view ownerSid);

// Whether the folder opened for the log may hold it: a folder, not a link
// (reparse point), and one this run made, or whose owner is SYSTEM or
// Administrators.
bool LogFolderUsable(std::uint32_t attributes, bool directory, std::wstring_view ownerSid, bool madeNow);

// Whether the log file opened (without following links) may be written: a
// plain file with one name, neither a link nor a second name of another file.
bool LogFileUsable(std::uint32_t attributes, bool directory, std::uint32_t links);

}  // namespace norq
