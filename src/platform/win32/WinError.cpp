#include "platform/win32/WinError.h"

namespace norq::win32 {

namespace {
std::wstring Where(const wchar_t* call, const std::wstring& subject) {
  return subject.empty() ? std::wstring(call) : std::wstring(call) + L" " + subject;
}
}  // namespace

void ThrowFileError(const wchar_t* call, const std::wstring& subject, DWORD error) {
  throw RuntimeError(FileErrorFor(error), Where(call, subject), error);
}

void ThrowError(ErrorNumber number, const wchar_t* call, const std::wstring& subject, DWORD error) {
  throw RuntimeError(number, Where(call, subject), error);
}

}  // namespace norq::win32
