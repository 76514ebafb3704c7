#pragma once
// The plain decisions of the real system seam (platform/win32/WinSystem) and
// the files it makes: which files count as present, which may be written,
// the names it makes up or takes apart, when a process start is tried again
// and how a wait made of shorter ones still ends in time. The system's values
// they read are written out in core/Win32Values.h.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Win32Values.h"

namespace norq {

// Files.

// Whether a directory entry with these attributes passes the existence test.
// Folders never do; hidden and system files only when the mask (AttrMask in
// System.h) asks for them; read-only and every other file always do.
bool CountsAsPresent(std::uint32_t attributes, unsigned attrMask);

// Whether a failed directory search means "no such file" rather than a fault
// of the drive or the name, which the caller reports.
bool SearchFoundNothing(std::uint32_t win32Code);

// Whether creating a new file failed only because the name is taken, so that
// another name may do; any other failure would meet every name alike.
bool NameTaken(std::uint32_t win32Code);

// What an opened marker file is, before anything is written into it. A file
// in a place another account controls (the root of D:, a removable drive's
// owner's) may be a link, or a second name of a file elsewhere: writing
// through either would change that other file, as administrator. Only a plain
// file with one name is written. A hidden or system file that was already
// there is not replaced either, as creating the marker anew never could.
enum class MarkerFile { Plain, Link, SecondName, Hidden };
MarkerFile ClassifyMarker(std::uint32_t attributes, std::uint32_t numberOfLinks, bool existed);
// The support log's words for a file that is not written.
const wchar_t* MarkerRefusal(MarkerFile kind);

// Names.

// The path to start a held file by, from the file's final path as its handle
// reports it ("\\?\C:\...", "\\?\UNC\server\..."): the plain form when
// it is short enough for every program to take (the started program sees it
// as its own name), else the long form unchanged.
std::wstring StartPathFor(std::wstring_view finalPath);

// A path the system copies into a buffer of ours (the system folder, the
// module's name) answers with a length: below the buffer's size, the path's;
// otherwise the buffer was too small. Some calls then answer the size they
// need, others fill the buffer with the path cut short. Returns 0 when the
// path fit, else the next buffer's size: what the call asked for, at least
// twice the room, never over kPathBufferLimit; the size it had when it cannot grow.
inline constexpr std::size_t kPathBufferLimit = 65536;  // above any path (32767 characters)
std::size_t NextPathBuffer(std::size_t answer, std::size_t bufferSize);

// The folder of a module's full path: no trailing backslash, except after a
// drive ("C:\\", "\\\\?\\C:\\"), where the folder is the root.
std::wstring FolderOfModule(std::wstring_view modulePath);

// The file a body lands in until it replaces its target: beside the target,
// so that the final rename stays on one volume, and named by a random number
// that nobody can guess ahead and plant a link under: "TARGET.<16 hex>.tmp".
std::wstring LandingNameFor(std::wstring_view target, std::uint64_t random);

// A rename through a file's handle takes the name as the file system sees it:
// "\\??\\C:\\..." for a drive path, "\\??\\UNC\\server\\..." for a share.
std::wstring FileSystemName(std::wstring_view path);

// Processes and waits.

// Whether a failed process start is worth another try. A start can fail for a
// moment when the system is short of resources, or while a virus scanner holds
// the program file; the installer then tries again a few times before it
// reports the failure as it always did.
inline constexpr int kProcessStartTries = 3;
inline constexpr std::uint32_t kProcessStartPauseMs = 250;
bool IsPassingStartFailure(std::uint32_t win32Code);

// Waits that are made of several shorter ones (answering messages between
// them) still end when the whole wait would have: what is left of a wait of
// `timeoutMs` after `spentMs` is never less than nothing, and a wait forever
// stays one however long it has run.
std::uint32_t WaitLeft(std::uint32_t timeoutMs, std::uint64_t spentMs);

}  // namespace norq
