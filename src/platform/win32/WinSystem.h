#pragma once
// The real system seam. The decisions it makes on what Win32 reports are
// plain functions below, so that they can be tried without the calls.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/System.h"

namespace norq::win32 {

// Whether a directory entry with these attributes passes the existence test.
// Folders never do; hidden and system files only when the mask asks for them;
// read-only files always do.
bool CountsAsPresent(std::uint32_t attributes, unsigned attrMask);
// Whether a failed directory search means "no such file" rather than a fault
// of the drive or the name.
bool SearchFoundNothing(std::uint32_t error);

// The first token of a command line when it names a program without any path
// ("cmd.exe", "\"regsvr32\""), else the empty text. Such a program is started
// from the system folder: the search order would try the installer's own
// folder first, where anyone can drop a file of that name.
std::wstring BareProgramName(std::wstring_view commandLine);
// The full path of a bare program name in the system folder; the process
// loader assumes no extension when given a path, so ".exe" is added to a name
// without one, as the search would have done.
std::wstring SystemProgramPath(std::wstring_view systemFolder, std::wstring_view bareName);

// The folder of a module's full path: no trailing backslash, except after a
// drive ("C:\\", "\\\\?\\C:\\"), where the folder is the root.
std::wstring FolderOfModule(std::wstring_view modulePath);

// The name of the temporary file that stands in for a target until it is
// committed: beside the target, so that the final rename stays on one volume.
std::wstring TemporaryNameFor(std::wstring_view target, std::uint32_t processId, std::uint32_t serial);

class WinSystem final : public System {
 public:
  bool FileExists(const std::wstring& path, unsigned attrMask) override;
  std::wstring ReadTextLine(const std::wstring& path) override;
  void WriteTextLine(const std::wstring& path, const std::wstring& text) override;
  std::unique_ptr<TargetFile> CreateTarget(const std::wstring& path) override;

  void StartHidden(const std::wstring& commandLine) override;
  std::int32_t ShellOpen(const std::wstring& path) override;
  std::uintptr_t FindTopWindow(const std::wstring& title) override;
  std::uint32_t WindowProcessId(std::uintptr_t window) override;
  EndProcessResult EndProcess(std::uint32_t processId) override;

  std::wstring GetSpecialFolder(int csidl) override;
  std::wstring AppPath() override;
  std::wstring CommandLine() override;

  bool VerifySignature(const P256PublicKey& key, std::string_view message, const P256Signature& signature) override;
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
  // Temporary names of one process differ by this serial; a target file may
  // be created on any thread.
  std::atomic<std::uint32_t> nextSerial_{0};
};

}  // namespace norq::win32
