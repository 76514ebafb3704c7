#pragma once
// Turning a failed Win32 call into the installer's RuntimeError, with
// GetLastError() read at once and carried along with the call's name.
#include <windows.h>

#include <string>

#include "core/RuntimeError.h"

namespace norq::win32 {

// A file operation that failed: the error number follows the Win32 code.
[[noreturn]] void ThrowFileError(const wchar_t* call, const std::wstring& subject, DWORD error);
// Any other call that failed.
[[noreturn]] void ThrowError(ErrorNumber number, const wchar_t* call, const std::wstring& subject, DWORD error);

// For calls that report failure with FALSE: reads GetLastError() at once.
inline void CheckFile(BOOL ok, const wchar_t* call, const std::wstring& subject) {
  if (!ok) ThrowFileError(call, subject, ::GetLastError());
}

}  // namespace norq::win32
