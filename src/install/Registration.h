#pragma once
// Handing a file over once it is in place: a component is registered, the
// setup program is started.
#include <string>

#include "platform/System.h"
#include "trust/BodyCheck.h"

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

// Starts that registration hidden and never waits for it: its outcome is not
// read. Without a system folder nothing is started.
void RegisterComponent(System& system, const std::wstring& systemFolder, const std::wstring& path);

// Starts the setup program at `path` if it still passes `check` while it is
// held. Returns how that went, for the support log's last line: the caller
// ends the installer either way.
std::wstring StartSetupProgram(System& system, const std::wstring& path, const BodyCheck& check);

}  // namespace norq
