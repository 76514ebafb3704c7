#pragma once
// What the existence test makes of a directory search's answers. The values
// are the system's own (FILE_ATTRIBUTE_*, ERROR_*), written out so that the
// rules can be tried on any machine; the Win32 side checks they still match.
#include <cstdint>

namespace norq {

inline constexpr std::uint32_t kFileAttributeHidden = 0x2;
inline constexpr std::uint32_t kFileAttributeSystem = 0x4;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;

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

}  // namespace norq
