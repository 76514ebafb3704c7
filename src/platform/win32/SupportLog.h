#pragma once
// The support log: %TEMP%\norq_installer.log, UTF-8, one line per step, each
// with the local time and the process id, appended by every run. A log over
// kSupportLogLimit is renamed to norq_installer.log.1 (replacing the older
// one) before the next line, so the two files stay near 2 MB together.
#include <cstdint>
#include <string>

namespace norq::win32 {

inline constexpr std::uint64_t kSupportLogLimit = 1 << 20;
inline constexpr wchar_t kSupportLogName[] = L"norq_installer.log";

// Never fails and never throws: a line that cannot be written is dropped,
// because the log must not stop the installer it describes.
void AppendToSupportLog(const std::wstring& line) noexcept;

}  // namespace norq::win32
