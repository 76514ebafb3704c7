#include "platform/win32/WriteAll.h"

#include <algorithm>
#include <cstdint>

namespace norq::win32 {

namespace {

// One WriteFile call moves at most a DWORD; stay well below it.
constexpr std::size_t kMaxWriteCall = 1u << 30;

}  // namespace

bool WriteAll(HANDLE file, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const auto chunk = static_cast<DWORD>(std::min(size, kMaxWriteCall));
    DWORD written = 0;
    if (!::WriteFile(file, bytes, chunk, &written, nullptr)) return false;
    if (written == 0) {
      ::SetLastError(ERROR_HANDLE_DISK_FULL);
      return false;
    }
    bytes += written;
    size -= written;
  }
  return true;
}

}  // namespace norq::win32
