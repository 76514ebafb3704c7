#include "platform/win32/Landing.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/Win32Values.h"
#include "platform/SystemRules.h"
#include "platform/win32/Answering.h"
#include "platform/win32/Cng.h"
#include "platform/win32/WinError.h"

namespace norq::win32 {

namespace {

// A taken name means a collision of 64 random bits, or someone who can list
// the folder planting names; a few more tries settle either.
constexpr int kNameTries = 4;

bool SetDeleteOnClose(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = remove ? TRUE : FALSE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

}  // namespace

BOOL RenameOpenFile(HANDLE file, const std::wstring& target) {
  const std::wstring name = FileSystemName(target);
  std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  // A full name: Wine refuses a name relative to a folder's handle here.
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::copy(name.begin(), name.end(), rename->FileName);
  return ::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()));
}

// The failures of CREATE_NEW that NameTaken takes for a name already used.
static_assert(kErrorFileExists == ERROR_FILE_EXISTS && kErrorAlreadyExists == ERROR_ALREADY_EXISTS);

UniqueFile CreateLanding(const std::wstring& target) {
  std::wstring name = target;
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    std::uint64_t random = 0;
    if (!RandomNumber(random)) ThrowError(ErrorNumber::InternalError, L"BCryptGenRandom", target, ::GetLastError());
    name = LandingNameFor(target, random);
    // CREATE_NEW fails on any existing entry, a link included, so the file is
    // always one this call made.
    UniqueFile file(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
      // Marked through the handle rather than FILE_FLAG_DELETE_ON_CLOSE, which
      // could not be taken back before the rename.
      if (SetDeleteOnClose(file.get(), true)) return file;
      error = ::GetLastError();
      file.reset();
      (void)::DeleteFileW(name.c_str());
      break;
    }
    error = ::GetLastError();
    if (!NameTaken(error)) break;
  }
  ThrowFileError(L"CreateFileW", name, error);
}

void ReplaceTarget(UniqueFile& landed, const std::wstring& target) {
  try {
    // Cleared only now: until this moment the file goes with its handle.
    CheckFile(SetDeleteOnClose(landed.get(), false), L"SetFileInformationByHandle", target);
    CheckFile(RenameOpenFile(landed.get(), target), L"SetFileInformationByHandle", target);
  } catch (...) {
    // Deleting a large file takes a moment: the window answers meanwhile.
    (void)SetDeleteOnClose(landed.get(), true);
    CloseAnswering(landed.release());
    throw;
  }
  // A failed close may have lost data, so it counts.
  CheckFile(::CloseHandle(landed.release()), L"CloseHandle", target);
}

}  // namespace norq::win32
