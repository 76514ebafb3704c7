#pragma once
#include <string>

namespace norq {

// A program to start: its full path, given to the system as the program so
// that nothing is searched for, and the command line it receives.
struct ProgramStart {
  std::wstring program;
  std::wstring commandLine;
};

// The silent registration of one component by the system's own registration
// tool, found in the system folder by full path: no command interpreter (it
// would run the user's AutoRun) and no search (the user's PATH and PATHEXT).
// The tool's name leads the command line in double quotes, as programs expect
// their first argument; the component's path is quoted so that blanks in it
// keep it one argument.
ProgramStart RegistrationCommand(const std::wstring& systemFolder, const std::wstring& path);

}  // namespace norq
