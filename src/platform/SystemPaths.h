#pragma once
// The names the system layer makes up or takes apart: the path a held program
// starts by, the installer's own folder, the temporary file beside a
// target and the name a rename hands to the file system.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace norq {

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

}  // namespace norq
