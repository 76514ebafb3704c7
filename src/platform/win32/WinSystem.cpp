#include "platform/win32/WinSystem.h"

#include <algorithm>
#include <vector>

#include "core/RuntimeError.h"
#include "core/Text.h"
#include "core/Win32Values.h"
#include "platform/SystemRules.h"
#include "platform/win32/Ansi.h"
#include "platform/win32/Answering.h"
#include "platform/win32/Cng.h"
#include "platform/win32/Handles.h"
#include "platform/win32/SystemLibrary.h"
#include "platform/win32/WinError.h"
#include "platform/win32/WriteAll.h"
#include "trust/UtcTime.h"

namespace norq::win32 {

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
// A look at the queue costs little, but millions of 1 KB pieces would still feel it.
constexpr ULONGLONG kAnswerEveryMs = 10;

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

// The failures of CreateProcessW that IsPassingStartFailure tries again.
static_assert(kErrorNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY && kErrorOutOfMemory == ERROR_OUTOFMEMORY &&
              kErrorSharingViolation == ERROR_SHARING_VIOLATION && kErrorInternalError == ERROR_INTERNAL_ERROR &&
              kErrorNoSystemResources == ERROR_NO_SYSTEM_RESOURCES);

// Starts `program` by its full path and returns its process; its thread's
// handle is closed. A start that fails only for a moment is tried again (see
// IsPassingStartFailure); `log` tells the support log about each retry.
template <typename Log>
UniqueHandle StartProcess(const std::wstring& program, const std::wstring& commandLine, const wchar_t* folder,
                          bool hidden, Log log) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (hidden) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
  }
  PROCESS_INFORMATION started{};
  for (int attempt = 1;; ++attempt) {
    // CreateProcessW may write into the command line, so each try gets a fresh copy.
    std::wstring line = commandLine;
    if (::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                         &started)) {
      break;
    }
    const DWORD error = ::GetLastError();
    if (attempt == kProcessStartTries || !IsPassingStartFailure(error)) {
      ThrowFileError(L"CreateProcessW", program, error);
    }
    log(L"starting " + commandLine + L" failed, Win32 code " + std::to_wstring(error) + L"; trying again");
    PauseAnswering(kProcessStartPauseMs);
  }
  UniqueHandle thread(started.hThread);
  return UniqueHandle(started.hProcess);
}

constexpr DWORD kCheckReadBlock = 1 << 20;

#ifndef NORQ_TEST_SETUP_HOLD_MS
#error "The build defines NORQ_TEST_SETUP_HOLD_MS (0 but in test builds)"
#endif
// The hold ends when CreateProcessW returns, before the new process runs any
// code of its own. So that a stand-in setup program can show what others can
// do to its file while it is held, test builds keep holding it until the
// stand-in ends, at most this long; 0 (releases) waits for nothing.
constexpr DWORD kTestSetupHoldMs = NORQ_TEST_SETUP_HOLD_MS;

// Reads the open file and says whether it passes `check`: all of it when
// its digest is pinned, else its first bytes and its size.
template <typename Answer>
bool FilePasses(HANDLE file, const std::wstring& path, const BodyCheck& check, Answer answer) {
  Sha256 hash;
  Check(!check.pinned || hash.Start(), ErrorNumber::InternalError, L"BCryptCreateHash", path);
  std::vector<std::uint8_t> buffer(kCheckReadBlock);
  std::string head;
  std::uint64_t size = 0;
  for (;;) {
    DWORD read = 0;
    CheckFile(::ReadFile(file, buffer.data(), kCheckReadBlock, &read, nullptr), L"ReadFile", path);
    if (read == 0) break;
    if (head.size() < 2) head.append(reinterpret_cast<const char*>(buffer.data()), std::min<DWORD>(read, 2));
    size += read;
    if (!check.pinned) {
      LARGE_INTEGER whole{};
      CheckFile(::GetFileSizeEx(file, &whole), L"GetFileSizeEx", path);
      size = static_cast<std::uint64_t>(whole.QuadPart);
      break;
    }
    Check(hash.Add(buffer.data(), read), ErrorNumber::InternalError, L"BCryptHashData", path);
    answer();
  }
  Sha256Digest digest{};
  Check(!check.pinned || hash.Finish(digest), ErrorNumber::InternalError, L"BCryptFinishHash", path);
  return BodyPasses(check, size, head, check.pinned ? &digest : nullptr);
}

// The file's own path as the file system resolves it now, links and
// mount points included.
std::wstring FinalPathOf(HANDLE file) {
  return ReadPath(L"GetFinalPathNameByHandleW", [file](wchar_t* buffer, DWORD size) {
    return ::GetFinalPathNameByHandleW(file, buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  });
}

}  // namespace

// What CountsAsPresent reads of a found entry, and the failures of the
// search that SearchFoundNothing takes for "no such file".
static_assert(kFileAttributeHidden == FILE_ATTRIBUTE_HIDDEN && kFileAttributeSystem == FILE_ATTRIBUTE_SYSTEM &&
              kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND && kErrorPathNotFound == ERROR_PATH_NOT_FOUND &&
              kErrorNoMoreFiles == ERROR_NO_MORE_FILES && kErrorBadNetPath == ERROR_BAD_NETPATH);

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

std::optional<std::wstring> WinSystem::ReadTextLine(const std::wstring& path) {
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
  if (bytes.empty()) return std::nullopt;
  return FromAnsi(FirstLine(bytes));
}

// What ClassifyMarker reads of the opened file.
static_assert(kFileAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT &&
              kFileAttributeHidden == FILE_ATTRIBUTE_HIDDEN && kFileAttributeSystem == FILE_ATTRIBUTE_SYSTEM);

void WinSystem::WriteTextLine(const std::wstring& path, const std::wstring& text) {
  // Converted before the file is opened: a failure must not leave it emptied.
  const std::string bytes = TextLineBytes(ToAnsi(text));
  // Opened as it is, neither emptied nor followed: a link, or a second name
  // of a file elsewhere, is found on the handle and left as it was.
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  CheckFile(file, L"CreateFileW", path);
  const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
  // Asked of the file alone, not of its volume too as GetFileInformationByHandle
  // does: see Describe in SupportLog.cpp for what that costs under Wine.
  FILE_ATTRIBUTE_TAG_INFO tag{};
  FILE_STANDARD_INFO standard{};
  CheckFile(::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag),
            L"GetFileInformationByHandleEx", path);
  CheckFile(::GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof standard),
            L"GetFileInformationByHandleEx", path);
  const MarkerFile kind = ClassifyMarker(tag.FileAttributes, standard.NumberOfLinks, existed);
  if (kind != MarkerFile::Plain) throw RuntimeError(ErrorNumber::PermissionDenied, path + L": " + MarkerRefusal(kind));
  CheckFile(::SetEndOfFile(file.get()), L"SetEndOfFile", path);
  CheckFile(WriteAll(file.get(), bytes.data(), bytes.size()), L"WriteFile", path);
  CheckFile(::CloseHandle(file.release()), L"CloseHandle", path);
}

void WinSystem::StartHidden(const std::wstring& program, const std::wstring& commandLine,
                            const std::wstring& folder) {
  // Not waited for: the handles are of no further use.
  (void)StartProcess(program, commandLine, folder.c_str(), true, [this](const std::wstring& line) { Log(line); });
}

static_assert(kMaxPath == MAX_PATH);  // where StartPathFor keeps the long form

StartOutcome WinSystem::StartChecked(const std::wstring& path, const BodyCheck& check) {
  try {
    // Others may read it (the new process's loader must) but neither write,
    // rename nor delete it while this handle is open.
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    CheckFile(file, L"CreateFileW", path);
    if (!FilePasses(file.get(), path, check, [this] { KeepAnswering(); })) {
      return {false, L"it does not match what its download had to be"};
    }
    // Started by the held file's own path: a link or mount point on the way
    // to `path` could be pointed elsewhere meanwhile, while the folders of
    // this path cannot be renamed as long as a file in them is open.
    const std::wstring program = StartPathFor(FinalPathOf(file.get()));
    const UniqueHandle process =
        StartProcess(program, L"\"" + program + L"\"", nullptr, false, [this](const std::wstring& line) { Log(line); });
    if (kTestSetupHoldMs > 0) (void)WaitAnswering(process.get(), kTestSetupHoldMs);
    return {true, {}};
  } catch (const RuntimeError& error) {
    return {false, error.LogText()};
  }
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

std::wstring WinSystem::SystemFolder() { return win32::SystemFolder(); }

std::wstring WinSystem::AppPath() {
  return FolderOfModule(ReadPath(
      L"GetModuleFileNameW", [](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); }));
}

std::wstring WinSystem::CommandLine() { return ArgumentsOf(::GetCommandLineW()); }

static_assert(kMbCritical == MB_ICONERROR);

int WinSystem::MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) {
  const HWND owner = owner_ != nullptr && ::IsWindowVisible(owner_) ? owner_ : nullptr;
  // A failed message box answers 0 and is not thrown: the error report itself
  // is shown with this call, and a throw from it would escape the last guard.
  return ::MessageBoxW(owner, text.c_str(), title.c_str(), style);
}

bool WinSystem::VerifySignature(const P256PublicKey& key, std::string_view message, const P256Signature& signature) {
  return VerifyP256(key, message, signature);
}

std::int64_t WinSystem::UtcNow() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);  // cannot fail
  return SecondsFromFileTime(std::uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime);
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
