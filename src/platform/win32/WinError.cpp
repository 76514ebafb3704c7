#include "platform/win32/WinError.h"

#include <string>

#include "core/Win32Values.h"

namespace norq::win32 {

namespace {
std::wstring Where(const wchar_t* call, std::wstring_view subject) {
  std::wstring where(call);
  if (!subject.empty()) where.append(L" ").append(subject);
  return where;
}
}  // namespace

// The codes FileErrorFor gives a number of their own.
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND && kErrorPathNotFound == ERROR_PATH_NOT_FOUND &&
              kErrorAccessDenied == ERROR_ACCESS_DENIED && kErrorInvalidDrive == ERROR_INVALID_DRIVE &&
              kErrorWriteProtect == ERROR_WRITE_PROTECT && kErrorNotReady == ERROR_NOT_READY &&
              kErrorSharingViolation == ERROR_SHARING_VIOLATION && kErrorHandleDiskFull == ERROR_HANDLE_DISK_FULL &&
              kErrorDiskFull == ERROR_DISK_FULL && kErrorInvalidName == ERROR_INVALID_NAME);

void ThrowFileError(const wchar_t* call, std::wstring_view subject, DWORD error) {
  throw RuntimeError(FileErrorFor(error), Where(call, subject), error);
}

void ThrowError(ErrorNumber number, const wchar_t* call, std::wstring_view subject, DWORD error) {
  throw RuntimeError(number, Where(call, subject), error);
}

}  // namespace norq::win32
