#include "platform/win32/TransferWindow.h"

#include "platform/win32/InetRequest.h"
#include "platform/win32/WinError.h"

namespace norq::win32 {

namespace {

constexpr UINT_PTR kWatchdogTimer = 1;
constexpr wchar_t kWindowClass[] = L"NorqInetTransferWindow";

}  // namespace

TransferWindow::TransferWindow(Listener& listener) : listener_(listener) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  if (!::RegisterClassExW(&windowClass)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_CLASS_ALREADY_EXISTS) ThrowError(ErrorNumber::InternalError, L"RegisterClassExW", kWindowClass, error);
  }
  window_.reset(::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this));
  if (!window_) ThrowError(ErrorNumber::InternalError, L"CreateWindowExW", kWindowClass, ::GetLastError());
}

bool TransferWindow::StartWatchdog(UINT periodMs) {
  return ::SetTimer(window_.get(), kWatchdogTimer, periodMs, nullptr) != 0;
}

void TransferWindow::StopWatchdog() {
  if (window_) ::KillTimer(window_.get(), kWatchdogTimer);
}

LRESULT CALLBACK TransferWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TransferWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self) {
    switch (message) {
      case kStateMessage:
        self->listener_.OnState(static_cast<std::uint32_t>(wparam), static_cast<std::int16_t>(lparam));
        return 0;
      case kProgressMessage:
        self->listener_.OnProgress(static_cast<std::uint32_t>(wparam));
        return 0;
      case WM_TIMER:
        if (wparam == kWatchdogTimer) self->listener_.OnWatchdog();
        return 0;
      default:
        break;
    }
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace norq::win32
