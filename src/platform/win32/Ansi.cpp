#include "platform/win32/Ansi.h"

#include <windows.h>

#include <climits>

#include "platform/win32/WinError.h"

namespace norq::win32 {

namespace {
// The conversion calls count in int; longer text cannot be passed in one call.
int CheckedLength(std::size_t size, const wchar_t* call) {
  if (size > static_cast<std::size_t>(INT_MAX)) ThrowError(ErrorNumber::Overflow, call, {}, ERROR_ARITHMETIC_OVERFLOW);
  return static_cast<int>(size);
}
}  // namespace

std::string ToAnsi(std::wstring_view text) {
  // Both calls fail on zero-length input, which has a known answer anyway.
  if (text.empty()) return {};
  const int length = CheckedLength(text.size(), L"WideCharToMultiByte");
  const int needed = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  Check(needed > 0, ErrorNumber::InvalidCall, L"WideCharToMultiByte");
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  const int written = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, bytes.data(), needed, nullptr, nullptr);
  Check(written > 0, ErrorNumber::InvalidCall, L"WideCharToMultiByte");
  bytes.resize(static_cast<std::size_t>(written));
  return bytes;
}

std::wstring FromAnsi(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int length = CheckedLength(bytes.size(), L"MultiByteToWideChar");
  const int needed = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  Check(needed > 0, ErrorNumber::InvalidCall, L"MultiByteToWideChar");
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  const int written = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, text.data(), needed);
  Check(written > 0, ErrorNumber::InvalidCall, L"MultiByteToWideChar");
  text.resize(static_cast<std::size_t>(written));
  return text;
}

}  // namespace norq::win32
