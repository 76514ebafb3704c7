#pragma once
// The file a downloaded body lands in. It is made new beside its target under
// a random name, opened once with no sharing and marked for deletion, so that
// no other program can open it, nobody can have planted a link under its name,
// and a process that dies mid-download leaves nothing behind. It becomes the
// target by a rename through its own handle, never by opening a name again.
#include <windows.h>

#include <string>

#include "platform/win32/Handles.h"

namespace norq::win32 {

// Renames an open file (opened with DELETE access) to `target`, replacing a
// file of that name: the rename acts on the file the handle holds, whatever
// its name has come to mean meanwhile. FALSE with GetLastError() on failure.
BOOL RenameOpenFile(HANDLE file, const std::wstring& target);

// Readable, writable and deletable through the handle. Throws RuntimeError
// when no file can be made there (a read-only folder, a full disk).
UniqueFile CreateLanding(const std::wstring& target);

// Replaces `target` with the landed file in one rename and closes the handle.
// Throws RuntimeError on failure; the target is then as it was and the landed
// file is gone.
void ReplaceTarget(UniqueFile& landed, const std::wstring& target);

}  // namespace norq::win32
