#include "platform/win32/SupportLog.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include "platform/SupportLogRules.h"
#include "platform/SystemRules.h"
#include "platform/win32/Landing.h"

namespace norq::win32 {

// What LogFolderUsable and LogFileUsable read of the opened folder and file.
static_assert(kFileAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT &&
              kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);

namespace {

struct LocalMemoryTraits {
  using Type = HLOCAL;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type memory) noexcept { ::LocalFree(memory); }
};
using UniqueLocal = Unique<LocalMemoryTraits>;

class Locked {
 public:
  explicit Locked(SRWLOCK& lock) noexcept : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
  ~Locked() { ::ReleaseSRWLockExclusive(&lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK& lock_;
};

// The system's own answer, not %ProgramData% from the environment, which
// whoever started the installer sets. Asked by its CSIDL rather than its
// known-folder GUID: the GUID's static library brings 35 KB of every other
// GUID into the executable.
std::wstring ProgramDataFolder() {
  wchar_t path[MAX_PATH] = {};
  const HRESULT status = ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
  return status == S_OK ? std::wstring(path) : std::wstring();
}

// Makes the folder with its own DACL, or finds one of that name; `madeNow`
// tells which.
bool MakeFolder(const std::wstring& folder, bool& madeNow) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kSupportLogFolderSddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
    return false;
  }
  const UniqueLocal owned(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  madeNow = ::CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
  return madeNow || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring OwnerOf(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  const UniqueLocal ownedDescriptor(descriptor);
  LPWSTR text = nullptr;
  if (!::ConvertSidToStringSidW(owner, &text)) return {};
  const UniqueLocal ownedText(text);
  return text;
}

// Asked of the handle alone: GetFileInformationByHandle also asks the volume
// for its serial number, a request to the mount manager whose answer Wine
// delivers to this thread as a signal; 32-bit Wine under qemu's user-mode
// emulator (the i686 test run) crashes on such a signal to any thread but the
// newest, and the transfers start threads.
struct Described {
  DWORD attributes = 0;
  bool directory = false;
  DWORD links = 0;
};
bool Describe(HANDLE handle, Described& described) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  FILE_STANDARD_INFO standard{};
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
      !::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
    return false;
  }
  described = {tag.FileAttributes, standard.Directory != FALSE, standard.NumberOfLinks};
  return true;
}

// The log file of that name, opened without following a link and checked on
// the handle; nothing when it is not a plain file with one name. Appends from
// several runs at once land whole: FILE_APPEND_DATA writes at the end.
UniqueFile OpenLogFile(const std::wstring& path) {
  UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  Described described;
  if (!file || !Describe(file.get(), described) ||
      !LogFileUsable(described.attributes, described.directory, described.links)) {
    return {};
  }
  return file;
}

LogStamp Now() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
          ::GetCurrentProcessId()};
}

}  // namespace

void SupportLog::Open() {
  state_ = State::Off;  // unless every step below succeeds
  const std::wstring programData = ProgramDataFolder();
  if (programData.empty()) return;
  const std::wstring folder = SupportLogFolder(programData);
  bool madeNow = false;
  if (!MakeFolder(folder, madeNow)) return;
  // Held without FILE_SHARE_DELETE: while it is open nobody can rename or
  // remove the folder, so the names opened in it below stay the checked one's.
  folder_.reset(::CreateFileW(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr));
  Described described;
  if (!folder_ || !Describe(folder_.get(), described) ||
      !LogFolderUsable(described.attributes, described.directory, OwnerOf(folder_.get()), madeNow)) {
    folder_.reset();
    return;
  }
  path_ = folder + L"\\" + kSupportLogName;
  file_ = OpenLogFile(path_);
  if (file_) state_ = State::Open;
}

// A full log makes way for a new one: renamed through its own handle, so the
// file that moves is the one checked, whatever its name has come to mean. If
// the rename or the new file fails, the lines still go to the old file.
void SupportLog::StartNewFileIfFull() {
  FILE_STANDARD_INFO standard{};
  if (!::GetFileInformationByHandleEx(file_.get(), FileStandardInfo, &standard, sizeof standard)) return;
  if (!SupportLogIsFull(static_cast<std::uint64_t>(standard.EndOfFile.QuadPart))) return;
  if (!RenameOpenFile(file_.get(), OlderSupportLog(path_))) return;
  if (UniqueFile next = OpenLogFile(path_)) file_ = std::move(next);
}

void SupportLog::Append(const std::wstring& line) noexcept {
  const Locked locked(lock_);
  try {
    if (state_ == State::NotOpened) Open();
    if (state_ != State::Open) return;
    StartNewFileIfFull();
    const std::string bytes = SupportLogLine(Now(), line);
    DWORD written = 0;
    (void)::WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  } catch (...) {
  }
}

}  // namespace norq::win32
