#pragma once
// The support log's rules: where it lives, which folder and file may hold it,
// and what a line looks like. The installer runs as administrator, so the log
// goes where only administrators write: %ProgramData%\norq, made by the
// installer with a protected DACL. A folder or file that someone else could
// have made or redirected is not written; the log is then off for the run,
// and nothing else changes. Each line is UTF-8, with the local time and the
// process id, appended by every run to norq_installer.log. A log over
// kSupportLogLimit is renamed to norq_installer.log.1 (replacing the older
// one) before the next line, so the two files stay near 2 MB together.
#include <cstdint>
#include <string>
#include <string_view>

namespace norq {

inline constexpr wchar_t kSupportLogFolderName[] = L"norq";
// Owner Administrators; SYSTEM and Administrators full control, Users read
// and list; inherited by the log files; nothing inherited from ProgramData.
inline constexpr wchar_t kSupportLogFolderSddl[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";
inline constexpr std::uint64_t kSupportLogLimit = 1 << 20;
inline constexpr wchar_t kSupportLogName[] = L"norq_installer.log";

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

// When a line is written, in local time, and by which process.
struct LogStamp {
  unsigned year, month, day, hour, minute, second, milliseconds;
  std::uint32_t processId;
};

// "2026-12-07 13:01:07.005 [1234] text" and CR LF, in UTF-8. Line breaks and
// other control characters inside the text are written as escapes, so one
// step is always one line.
std::string SupportLogLine(const LogStamp& stamp, std::wstring_view text);

// Whether a log of this size makes way for a new one before the next line.
bool SupportLogIsFull(std::uint64_t size);

// Where a full log goes: beside it, the older one of the two.
std::wstring OlderSupportLog(std::wstring_view logPath);

}  // namespace norq
