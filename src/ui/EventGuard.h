#pragma once
// Every event runs inside RunEvent: a failure leaves the event, is reported in
// a message box with its number and text, and ends the program. The few other
// places that catch do so only where a failure must not end the installer: a
// marker that cannot be written is skipped (startup/Markers.cpp), a setup
// program that cannot be started is logged (WinSystem::StartChecked), the
// support log drops a line it cannot write, a transfer's worker thread turns
// any failure into a failed request, and a failed replacement deletes its
// landed file before passing the failure on (win32/Landing.cpp).
#include <functional>

#include "platform/System.h"

namespace norq {

inline constexpr wchar_t kErrorReportTitle[] = L"norq_installer";

void RunEvent(System& system, const std::function<void()>& handler);

}  // namespace norq
