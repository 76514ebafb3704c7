#pragma once
// The one way a failed Win32 call becomes the installer's RuntimeError:
// GetLastError() read at once and carried along with the call's name and
// what it was asked about.
#include <windows.h>

#include <string_view>

#include "core/RuntimeError.h"

namespace norq::win32 {

// A file operation that failed with `error`: the error number follows the code.
[[noreturn]] void ThrowFileError(const wchar_t* call, std::wstring_view subject, DWORD error);
// Any other call that failed with `error`.
[[noreturn]] void ThrowError(ErrorNumber number, const wchar_t* call, std::wstring_view subject, DWORD error);

// For a call whose result says whether it worked (TRUE, a handle, a non-zero
// length, ...): on failure, throws with GetLastError(), read before anything
// else can change it. The subject is a view, so passing it allocates nothing.
template <typename Result>
void Check(const Result& ok, ErrorNumber number, const wchar_t* call, std::wstring_view subject = {}) {
  if (!ok) ThrowError(number, call, subject, ::GetLastError());
}
// The same for a file operation.
template <typename Result>
void CheckFile(const Result& ok, const wchar_t* call, std::wstring_view subject = {}) {
  if (!ok) ThrowFileError(call, subject, ::GetLastError());
}

}  // namespace norq::win32
