#include "platform/win32/SupportLog.h"

#include <windows.h>

#include "platform/SupportLogLine.h"
#include "platform/win32/Handles.h"

namespace norq::win32 {

namespace {

std::wstring LogPath() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return {};
  return std::wstring(folder, length) + kSupportLogName;
}

LogStamp Now() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
          ::GetCurrentProcessId()};
}

// A full log makes way for a new one; if the rename fails the lines still go
// to the old file, which is better than none.
void StartNewFileIfFull(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return;
  const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (SupportLogIsFull(size)) (void)::MoveFileExW(path.c_str(), OlderSupportLog(path).c_str(), MOVEFILE_REPLACE_EXISTING);
}

// The temporary folder belongs to the user, and the installer runs elevated: a
// link planted there in the log's name would have it append to a file of the
// system's choosing. Only a plain file with one name is written. Asked of the
// file alone: GetFileInformationByHandle also asks the volume for its serial
// number, a request to the mount manager on every line, whose answer Wine
// delivers to this thread as a signal; 32-bit Wine under qemu's user-mode
// emulator (the i686 test run) crashes on such a signal to any thread but the
// newest, and the transfers start threads.
bool IsPlainFile(HANDLE file) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  FILE_STANDARD_INFO standard{};
  if (!::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) ||
      !::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)) {
    return false;
  }
  return (tag.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 && !standard.Directory &&
         standard.NumberOfLinks == 1;
}

}  // namespace

void AppendToSupportLog(const std::wstring& line) noexcept {
  try {
    const std::wstring path = LogPath();
    if (path.empty()) return;
    StartNewFileIfFull(path);
    const std::string bytes = SupportLogLine(Now(), line);
    // Appends from several runs at once land whole: FILE_APPEND_DATA writes at the end.
    UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file || !IsPlainFile(file.get())) return;
    DWORD written = 0;
    (void)::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  } catch (...) {
  }
}

}  // namespace norq::win32
