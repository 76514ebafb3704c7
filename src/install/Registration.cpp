#include "install/Registration.h"

#include "core/Subscript.h"
#include "trust/BodyCheck.h"
#include "ui/FrmUpdate.h"

namespace norq {

ProgramStart RegistrationCommand(const std::wstring& systemFolder, const std::wstring& path) {
  std::wstring program = systemFolder;
  if (!program.empty() && program.back() != L'\\') program += L'\\';
  program += L"regsvr32.exe";
  return {program, L"\"" + program + L"\" /s \"" + path + L"\""};
}

// Started hidden and never waited for: its outcome is not read.
void FrmUpdate::RegisterComponent(const std::wstring& path) {
  // Without the system folder there is no full path to start; a name alone
  // would be searched for where the user's account can put one.
  if (SystemDir.empty()) {
    sys_.Log(L"not registered, no system folder: " + path);
    return;
  }
  const ProgramStart command = RegistrationCommand(SystemDir, path);
  sys_.Log(L"registering: " + command.commandLine);
  sys_.StartHidden(command.program, command.commandLine, SystemDir);
}

// The setup program is checked again while it is held, against what its
// download had to be: whatever reached its name since, it is the checked
// bytes that start. A failed start is not reported; the caller ends the
// installer either way.
void FrmUpdate::RunUpdate(const std::wstring& UpdateURL) {
  std::optional<IndexLine> pinned;
  if (indexKey_) pinned = index_.at(static_cast<std::size_t>(CurIndex - 1));
  const BodyCheck check = CheckForName(ElementAt(NameArr, CurIndex), std::move(pinned));
  const StartOutcome outcome = sys_.StartChecked(UpdateURL, check);
  if (outcome.started) {
    sys_.Log(L"end: the setup program " + UpdateURL + L" was started");
  } else {
    sys_.Log(L"end: the setup program " + UpdateURL + L" was not started: " + outcome.reason);
  }
}

}  // namespace norq
