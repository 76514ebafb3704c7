#pragma once
#include <string>

namespace norq {

// The silent registration of one component, exactly as the command
// interpreter receives it: no blank between "regsvr32" and "/s", the path in
// double quotes so that blanks in it keep it one argument.
std::wstring RegistrationCommand(const std::wstring& path);

}  // namespace norq
