#include "core/RuntimeError.h"

#include "core/Win32Values.h"

namespace norq {

RuntimeError::RuntimeError(ErrorNumber number, std::wstring detail, std::uint32_t win32)
    : std::runtime_error("norq runtime error"), number_(number), detail_(std::move(detail)), win32_(win32) {}

std::wstring RuntimeError::Description() const { return DescriptionOf(number_); }

std::wstring RuntimeError::ReportText() const {
  std::wstring text = L"实时错误 '" + std::to_wstring(static_cast<int>(number_)) + L"':\n\n" + Description();
  if (!detail_.empty()) {
    text += L"\n\n" + detail_;
    if (win32_ != 0) text += L" (" + std::to_wstring(win32_) + L")";
  }
  return text;
}

std::wstring RuntimeError::LogText() const {
  std::wstring text = L"error " + std::to_wstring(static_cast<int>(number_)) + L" (" + Description() + L")";
  if (!detail_.empty()) text += L": " + detail_;
  if (win32_ != 0) text += L", Win32 code " + std::to_wstring(win32_);
  return text;
}

std::wstring DescriptionOf(ErrorNumber number) {
  switch (number) {
    case ErrorNumber::InvalidCall: return L"无效的过程调用或参数";
    case ErrorNumber::Overflow: return L"溢出";
    case ErrorNumber::OutOfMemory: return L"内存溢出";
    case ErrorNumber::SubscriptOutOfRange: return L"下标越界";
    case ErrorNumber::DivisionByZero: return L"除数为零";
    case ErrorNumber::InternalError: return L"内部错误";
    case ErrorNumber::BadFileName: return L"错误的文件名或号码";
    case ErrorNumber::FileNotFound: return L"文件未找到";
    case ErrorNumber::DiskFull: return L"磁盘已满";
    case ErrorNumber::PermissionDenied: return L"拒绝的权限";
    case ErrorNumber::DiskNotReady: return L"磁盘未准备好";
    case ErrorNumber::PathFileAccess: return L"路径/文件访问错误";
    case ErrorNumber::PathNotFound: return L"路径未找到";
  }
  return L"应用程序定义的错误或对象定义的错误";
}

ErrorNumber FileErrorFor(std::uint32_t win32) {
  switch (win32) {
    case kErrorFileNotFound: return ErrorNumber::FileNotFound;
    case kErrorPathNotFound: return ErrorNumber::PathNotFound;
    case kErrorInvalidDrive:
    case kErrorNotReady: return ErrorNumber::DiskNotReady;
    case kErrorAccessDenied:
    case kErrorWriteProtect:
    case kErrorSharingViolation: return ErrorNumber::PermissionDenied;
    case kErrorHandleDiskFull:
    case kErrorDiskFull: return ErrorNumber::DiskFull;
    case kErrorInvalidName: return ErrorNumber::BadFileName;
    default: return ErrorNumber::PathFileAccess;
  }
}

}  // namespace norq
