#pragma once
// The support log's file rules: %ProgramData%\norq\norq_installer.log (see
// SupportLogFolder.h), UTF-8, one line per step, each with the local time and
// the process id, appended by every run. A log over kSupportLogLimit is
// renamed to norq_installer.log.1 (replacing the older one) before the next
// line, so the two files stay near 2 MB together.
#include <cstdint>
#include <string>
#include <string_view>

namespace norq {

inline constexpr std::uint64_t kSupportLogLimit = 1 << 20;
inline constexpr wchar_t kSupportLogName[] = L"norq_installer.log";

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
