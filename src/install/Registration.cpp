#include "install/Registration.h"

#include "ui/FrmUpdate.h"

namespace norq {

std::wstring RegistrationCommand(const std::wstring& path) {
  return L"cmd.exe /c regsvr32/s \"" + path + L"\"";
}

// Started hidden and never waited for: its outcome is not read.
void FrmUpdate::RegisterComponent(const std::wstring& path) {
  const std::wstring command = RegistrationCommand(path);
  sys_.Log(L"registering: " + command);
  sys_.StartHidden(command);
}

// A failed launch is not detected; the caller ends the installer either way.
void FrmUpdate::RunUpdate(const std::wstring& UpdateURL) {
  const std::int32_t result = ShellOpen(UpdateURL);
  sys_.Log(L"opening " + UpdateURL + L": shell result " + std::to_wstring(result));
}

std::int32_t FrmUpdate::ShellOpen(const std::wstring& path) { return sys_.ShellOpen(path); }

}  // namespace norq
