#include "platform/win32/TransferWindow.h"

#include "platform/win32/InetRequest.h"

namespace norq::win32 {

namespace {

constexpr UINT_PTR kWatchdogTimer = 1;
constexpr wchar_t kWindowClass[] = L"NorqInetTransferWindow";

}  // namespace

TransferWindow::TransferWindow(Listener& listener) : listener_(listener) {
  Create(WindowClass{kWindowClass}, L"", 0, {}, HWND_MESSAGE);
}

bool TransferWindow::StartWatchdog(UINT periodMs) { return ::SetTimer(handle(), kWatchdogTimer, periodMs, nullptr) != 0; }

void TransferWindow::StopWatchdog() {
  if (handle()) ::KillTimer(handle(), kWatchdogTimer);
}

LRESULT TransferWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kStateMessage:
      listener_.OnState(static_cast<std::uint32_t>(wParam), static_cast<std::int16_t>(lParam));
      return 0;
    case kProgressMessage:
      listener_.OnProgress(static_cast<std::uint32_t>(wParam));
      return 0;
    case WM_TIMER:
      if (wParam == kWatchdogTimer) listener_.OnWatchdog();
      return 0;
    default:
      return Default(message, wParam, lParam);
  }
}

}  // namespace norq::win32
