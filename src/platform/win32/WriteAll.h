#pragma once
#include <windows.h>

#include <cstddef>

namespace norq::win32 {

// Writes all `size` bytes to a file opened for synchronous writing. False on
// failure with GetLastError() set; a file that takes no bytes counts as full
// (ERROR_HANDLE_DISK_FULL), where a retry would loop forever.
bool WriteAll(HANDLE file, const void* data, std::size_t size);

}  // namespace norq::win32
