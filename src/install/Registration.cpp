#include "install/Registration.h"

#include "ui/FrmUpdate.h"

namespace norq {

std::wstring RegistrationCommand(const std::wstring& path) {
  return L"cmd.exe /c regsvr32/s \"" + path + L"\"";
}

// Started hidden and never waited for: its outcome is not read.
void FrmUpdate::RegisterComponent(const std::wstring& path) { sys_.StartHidden(RegistrationCommand(path)); }

// A failed launch is not detected; the caller ends the installer either way.
void FrmUpdate::RunUpdate(const std::wstring& UpdateURL) { (void)ShellOpen(UpdateURL); }

std::int32_t FrmUpdate::ShellOpen(const std::wstring& path) { return sys_.ShellOpen(path); }

}  // namespace norq
