#pragma once
// The real system seam. The decisions it makes on what Win32 reports are
// plain functions of their own (platform/SystemRules.h), so that they can be
// tried without the calls.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/System.h"
#include "platform/win32/SupportLog.h"

namespace norq::win32 {

class WinSystem final : public System {
 public:
  bool FileExists(const std::wstring& path, unsigned attrMask) override;
  std::optional<std::wstring> ReadTextLine(const std::wstring& path) override;
  void WriteTextLine(const std::wstring& path, const std::wstring& text) override;

  void StartHidden(const std::wstring& program, const std::wstring& commandLine,
                   const std::wstring& folder) override;
  StartOutcome StartChecked(const std::wstring& path, const BodyCheck& check) override;
  std::uintptr_t FindTopWindow(const std::wstring& title) override;
  std::uint32_t WindowProcessId(std::uintptr_t window) override;
  EndProcessResult EndProcess(std::uint32_t processId) override;

  std::wstring SystemFolder() override;
  std::wstring AppPath() override;
  std::wstring CommandLine() override;

  bool VerifySignature(const P256PublicKey& key, std::string_view message, const P256Signature& signature) override;
  std::int64_t UtcNow() override;
  void KeepAnswering() override;
  void Log(const std::wstring& line) noexcept override;
  int MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) override;
  [[noreturn]] void End() override;

  // The window that owns message boxes while it is visible. Before it shows
  // (and after it is gone) a message box stands alone, so that it is never
  // hidden behind or tied to a window the user cannot see.
  void SetOwner(HWND window) noexcept { owner_ = window; }

 private:
  HWND owner_ = nullptr;
  ULONGLONG lastAnswered_ = 0;
  SupportLog log_;
};

}  // namespace norq::win32
