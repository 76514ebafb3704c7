#include "platform/win32/WinSystem.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "core/RuntimeError.h"
#include "core/Text.h"
#include "platform/FileChecks.h"
#include "platform/ProcessStart.h"
#include "platform/SystemPaths.h"
#include "platform/win32/Ansi.h"
#include "platform/win32/Answering.h"
#include "platform/win32/Cng.h"
#include "platform/win32/Handles.h"
#include "platform/win32/WinError.h"
#include "platform/win32/WriteAll.h"

namespace norq::win32 {

static_assert(kFileAttributeHidden == FILE_ATTRIBUTE_HIDDEN && kFileAttributeSystem == FILE_ATTRIBUTE_SYSTEM &&
              kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);

namespace {

// A marker is one short line; a file that has no line end within this much
// is not a marker, and reading all of it would only cost time and memory.
constexpr std::size_t kLineReadCap = 1 << 20;
constexpr DWORD kLineReadBlock = 64 * 1024;
// The access the product has always asked for when ending a process (all
// access as defined before Windows Vista, which later systems still grant).
constexpr DWORD kEndProcessAccess = 0x001F0FFF;
// Long enough for an ended process to take its windows with it, so that the
// next search by title does not find the same dying window again.
constexpr DWORD kEndProcessWaitMs = 2000;
// The owner argument is reserved; this is the value the product has always passed.
constexpr INT_PTR kSpecialFolderOwner = 100;
// A look at the queue costs little, but millions of 1 KB pieces would still feel it.
constexpr ULONGLONG kAnswerEveryMs = 10;

struct ItemListTraits {
  using Type = LPITEMIDLIST;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type list) noexcept { ::CoTaskMemFree(list); }
};
using UniqueItemList = Unique<ItemListTraits>;

// A path that `copy(buffer, size)` puts into a buffer, which grows as it asks.
template <typename Copy>
std::wstring ReadPath(const wchar_t* call, Copy copy) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const std::size_t answer = copy(buffer.data(), static_cast<DWORD>(buffer.size()));
    CheckFile(answer != 0, call);
    const std::size_t next = NextPathBuffer(answer, buffer.size());
    if (next == 0) {
      buffer.resize(answer);
      return buffer;
    }
    if (next == buffer.size()) ThrowFileError(call, {}, ERROR_INSUFFICIENT_BUFFER);
    buffer.resize(next);
  }
}

std::wstring SystemFolder() {
  return ReadPath(L"GetSystemDirectoryW",
                  [](wchar_t* buffer, DWORD size) { return ::GetSystemDirectoryW(buffer, size); });
}

}  // namespace

bool WinSystem::FileExists(const std::wstring& path, unsigned attrMask) {
  WIN32_FIND_DATAW entry{};
  UniqueFind search(::FindFirstFileW(path.c_str(), &entry));
  if (!search) {
    const DWORD error = ::GetLastError();
    if (SearchFoundNothing(error)) return false;
    ThrowFileError(L"FindFirstFileW", path, error);
  }
  for (;;) {
    if (CountsAsPresent(entry.dwFileAttributes, attrMask)) return true;
    if (!::FindNextFileW(search.get(), &entry)) {
      const DWORD error = ::GetLastError();
      if (SearchFoundNothing(error)) return false;
      ThrowFileError(L"FindNextFileW", path, error);
    }
  }
}

std::wstring WinSystem::ReadTextLine(const std::wstring& path) {
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckFile(file, L"CreateFileW", path);

  std::string bytes;
  while (bytes.size() < kLineReadCap) {
    const std::size_t start = bytes.size();
    const auto block = static_cast<DWORD>(std::min<std::size_t>(kLineReadBlock, kLineReadCap - start));
    bytes.resize(start + block);
    DWORD read = 0;
    CheckFile(::ReadFile(file.get(), bytes.data() + start, block, &read, nullptr), L"ReadFile", path);
    bytes.resize(start + read);
    if (read == 0 || bytes.find('\r', start) != std::string::npos) break;
  }
  return FromAnsi(FirstLine(bytes));
}

void WinSystem::WriteTextLine(const std::wstring& path, const std::wstring& text) {
  // Converted before the file is opened: a failure must not leave it emptied.
  const std::string bytes = TextLineBytes(ToAnsi(text));
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckFile(file, L"CreateFileW", path);
  CheckFile(WriteAll(file.get(), bytes.data(), bytes.size()), L"WriteFile", path);
  CheckFile(::CloseHandle(file.release()), L"CloseHandle", path);
}

void WinSystem::StartHidden(const std::wstring& commandLine) {
  // cmd looks for a program in its current folder before PATH: started in the
  // installer's folder, it would run a regsvr32.bat planted there.
  const std::wstring folder = SystemFolder();
  std::wstring application = BareProgramName(commandLine);
  if (!application.empty()) application = SystemProgramPath(folder, application);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started{};
  // CreateProcessW may write into the command line, so it gets a copy.
  std::wstring line = commandLine;
  for (int attempt = 1;; ++attempt) {
    if (::CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                         nullptr, folder.c_str(), &startup, &started)) {
      break;
    }
    const DWORD error = ::GetLastError();
    if (attempt == kProcessStartTries || !IsPassingStartFailure(error)) {
      ThrowFileError(L"CreateProcessW", commandLine, error);
    }
    Log(L"starting " + commandLine + L" failed, Win32 code " + std::to_wstring(error) + L"; trying again");
    PauseAnswering(kProcessStartPauseMs);
    line = commandLine;
  }
  // Not waited for: the handles are of no further use.
  UniqueHandle process(started.hProcess);
  UniqueHandle thread(started.hThread);
}

std::int32_t WinSystem::ShellOpen(const std::wstring& path) {
  // The result is a status code in a handle's clothing; above 32 is success.
  const HINSTANCE result = ::ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(result));
}

std::uintptr_t WinSystem::FindTopWindow(const std::wstring& title) {
  return reinterpret_cast<std::uintptr_t>(::FindWindowW(nullptr, title.c_str()));
}

std::uint32_t WinSystem::WindowProcessId(std::uintptr_t window) {
  DWORD processId = 0;
  // A window gone in the meantime leaves the id at 0, which no process can open.
  (void)::GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &processId);
  return processId;
}

EndProcessResult WinSystem::EndProcess(std::uint32_t processId) {
  // A window of our own with the title searched for must not end the installer.
  if (processId == ::GetCurrentProcessId()) return EndProcessResult::CannotOpen;
  UniqueHandle process(::OpenProcess(kEndProcessAccess, FALSE, processId));
  if (!process) return EndProcessResult::CannotOpen;
  if (!::TerminateProcess(process.get(), 0)) return EndProcessResult::TerminateFailed;
  // The ending was granted; whether it completes within the wait or later,
  // the process is on its way out, so the outcome of the wait changes nothing.
  (void)WaitAnswering(process.get(), kEndProcessWaitMs);
  return EndProcessResult::Ended;
}

std::wstring WinSystem::GetSpecialFolder(int csidl) {
  LPITEMIDLIST list = nullptr;
  const HRESULT status = ::SHGetSpecialFolderLocation(reinterpret_cast<HWND>(kSpecialFolderOwner), csidl, &list);
  UniqueItemList owned(list);
  if (status != S_OK || !owned) return {};
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(owned.get(), path)) return {};
  return path;
}

std::wstring WinSystem::AppPath() {
  return FolderOfModule(ReadPath(
      L"GetModuleFileNameW", [](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); }));
}

std::wstring WinSystem::CommandLine() { return ArgumentsOf(::GetCommandLineW()); }

int WinSystem::MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) {
  const HWND owner = owner_ != nullptr && ::IsWindowVisible(owner_) ? owner_ : nullptr;
  // A failed message box answers 0 and is not thrown: the error report itself
  // is shown with this call, and a throw from it would escape the last guard.
  return ::MessageBoxW(owner, text.c_str(), title.c_str(), style);
}

bool WinSystem::VerifySignature(const P256PublicKey& key, std::string_view message, const P256Signature& signature) {
  return VerifyP256(key, message, signature);
}

void WinSystem::KeepAnswering() {
  const ULONGLONG now = ::GetTickCount64();
  if (now - lastAnswered_ < kAnswerEveryMs) return;
  lastAnswered_ = now;
  AnswerSentMessages();
}

void WinSystem::Log(const std::wstring& line) noexcept { log_.Append(line); }

void WinSystem::End() { ::ExitProcess(0); }

}  // namespace norq::win32
