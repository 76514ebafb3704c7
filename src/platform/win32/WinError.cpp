#include "platform/win32/WinError.h"

#include <string>

namespace norq::win32 {

namespace {
std::wstring Where(const wchar_t* call, std::wstring_view subject) {
  std::wstring where(call);
  if (!subject.empty()) where.append(L" ").append(subject);
  return where;
}
}  // namespace

void ThrowFileError(const wchar_t* call, std::wstring_view subject, DWORD error) {
  throw RuntimeError(FileErrorFor(error), Where(call, subject), error);
}

void ThrowError(ErrorNumber number, const wchar_t* call, std::wstring_view subject, DWORD error) {
  throw RuntimeError(number, Where(call, subject), error);
}

}  // namespace norq::win32
