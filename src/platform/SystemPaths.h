#pragma once
// The names the system layer makes up or takes apart: the program started for
// a command line, the installer's own folder, the temporary file beside a
// target and the name a rename hands to the file system.
#include <cstdint>
#include <string>
#include <string_view>

namespace norq {

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

// The temporary file that stands in for a target until it is committed:
// beside the target, so that the final rename stays on one volume, and
// distinct per process and per serial.
std::wstring TemporaryNameFor(std::wstring_view target, std::uint32_t processId, std::uint32_t serial);

// A rename through a file's handle takes the name as the file system sees it:
// "\\??\\C:\\..." for a drive path, "\\??\\UNC\\server\\..." for a share.
std::wstring FileSystemName(std::wstring_view path);

}  // namespace norq
