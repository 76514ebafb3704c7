#pragma once
// Writing the support log whose rules platform/SupportLogLine.h sets out.
#include <string>

namespace norq::win32 {

// Never fails and never throws: a line that cannot be written is dropped,
// because the log must not stop the installer it describes.
void AppendToSupportLog(const std::wstring& line) noexcept;

}  // namespace norq::win32
