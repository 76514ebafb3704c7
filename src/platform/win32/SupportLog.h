#pragma once
// Writing the support log whose rules platform/SupportLogRules.h sets out.
#include <windows.h>

#include <string>

#include "platform/win32/Handles.h"

namespace norq::win32 {

// Opened, checked and kept open at the first line; every line after goes
// through the same handles. Never fails and never throws: a line that cannot
// be written is dropped, because the log must not stop the installer it
// describes.
class SupportLog {
 public:
  SupportLog() = default;
  SupportLog(const SupportLog&) = delete;
  SupportLog& operator=(const SupportLog&) = delete;

  void Append(const std::wstring& line) noexcept;

 private:
  enum class State { NotOpened, Open, Off };
  void Open();
  void StartNewFileIfFull();

  SRWLOCK lock_ = SRWLOCK_INIT;
  State state_ = State::NotOpened;
  std::wstring path_;
  UniqueFile folder_;  // held so that nobody can rename or remove the folder meanwhile
  UniqueFile file_;
};

}  // namespace norq::win32
