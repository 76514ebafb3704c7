#include "install/Registration.h"

namespace norq {

ProgramStart RegistrationCommand(const std::wstring& systemFolder, const std::wstring& path) {
  std::wstring program = systemFolder;
  if (!program.empty() && program.back() != L'\\') program += L'\\';
  program += L"regsvr32.exe";
  return {program, L"\"" + program + L"\" /s \"" + path + L"\""};
}

void RegisterComponent(System& system, const std::wstring& systemFolder, const std::wstring& path) {
  // Without the system folder there is no full path to start; a name alone
  // would be searched for where the user's account can put one.
  if (systemFolder.empty()) {
    system.Log(L"not registered, no system folder: " + path);
    return;
  }
  const ProgramStart command = RegistrationCommand(systemFolder, path);
  system.Log(L"registering: " + command.commandLine);
  system.StartHidden(command.program, command.commandLine, systemFolder);
}

// The setup program is checked again while it is held, against what its
// download had to be: whatever reached its name since, it is the checked
// bytes that start.
std::wstring StartSetupProgram(System& system, const std::wstring& path, const BodyCheck& check) {
  const StartOutcome outcome = system.StartChecked(path, check);
  if (outcome.started) return L"the setup program " + path + L" was started";
  return L"the setup program " + path + L" was not started: " + outcome.reason;
}

}  // namespace norq
