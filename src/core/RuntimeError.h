#pragma once
// The one failure type of the installer. An event that meets it is left at once
// and the program ends with a report that names the error's number and text,
// the way a user of this product has always seen it (see ui/EventGuard.h).
#include <cstdint>
#include <stdexcept>
#include <string>

namespace norq {

enum class ErrorNumber : int {
  InvalidCall = 5,
  Overflow = 6,
  OutOfMemory = 7,
  SubscriptOutOfRange = 9,
  DivisionByZero = 11,
  InternalError = 51,
  BadFileName = 52,
  FileNotFound = 53,
  DiskFull = 61,
  PermissionDenied = 70,
  DiskNotReady = 71,
  PathFileAccess = 75,
  PathNotFound = 76,
};

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(ErrorNumber number, std::wstring detail = {}, std::uint32_t win32 = 0);

  ErrorNumber Number() const { return number_; }
  // The fixed text of the number, as the report shows it.
  std::wstring Description() const;
  // The whole text of the report's message box.
  std::wstring ReportText() const;
  // The same on one line, for the support log.
  std::wstring LogText() const;

 private:
  ErrorNumber number_;
  std::wstring detail_;
  std::uint32_t win32_;
};

std::wstring DescriptionOf(ErrorNumber number);

// The error number a file operation reports for a Win32 error code.
ErrorNumber FileErrorFor(std::uint32_t win32);

}  // namespace norq
