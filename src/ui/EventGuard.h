#pragma once
// Every event runs inside RunEvent: a failure leaves the event, is reported in
// a message box with its number and text, and ends the program. Nothing else
// in the installer catches errors.
#include <functional>

#include "platform/System.h"

namespace norq {

inline constexpr wchar_t kErrorReportTitle[] = L"norq_installer";

void RunEvent(System& system, const std::function<void()>& handler);

}  // namespace norq
