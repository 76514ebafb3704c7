#include "platform/win32/Window.h"

#include "platform/win32/WinError.h"

namespace norq::win32 {

namespace {
Window* Owner(HWND window) { return reinterpret_cast<Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA)); }
void SetOwner(HWND window, Window* owner) {
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
}

// Every window of a class registers it; the first one does it.
void Register(HINSTANCE instance, const WindowClass& windowClass, WNDPROC procedure) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = windowClass.icon;
  wc.hIconSm = windowClass.smallIcon;
  wc.hCursor = windowClass.cursor != nullptr ? windowClass.cursor : ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = windowClass.name;
  if (::RegisterClassExW(&wc)) return;
  const DWORD error = ::GetLastError();
  if (error != ERROR_CLASS_ALREADY_EXISTS) ThrowError(ErrorNumber::InternalError, L"RegisterClassExW", windowClass.name, error);
}
}  // namespace

Window::~Window() { Destroy(); }

void Window::Create(const WindowClass& windowClass, const wchar_t* title, DWORD style, const WindowBox& box,
                    HWND parent, int childId) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  Register(instance, windowClass, Procedure);
  const HWND made = ::CreateWindowExW(0, windowClass.name, title, style, box.x, box.y, box.width, box.height, parent,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(childId)), instance, this);
  Check(made, ErrorNumber::InternalError, L"CreateWindowExW", windowClass.name);
}

void Window::Destroy() noexcept {
  const HWND window = window_;
  if (window == nullptr) return;
  // Let go first: the messages destruction sends must not reach this object.
  SetOwner(window, nullptr);
  window_ = nullptr;
  (void)::DestroyWindow(window);
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) { return Default(message, wParam, lParam); }

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetOwner(window, self);
  }
  Window* self = Owner(window);
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    // Gone with its parent or by the system: this object no longer has a window.
    SetOwner(window, nullptr);
    self->window_ = nullptr;
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  return self->HandleMessage(message, wParam, lParam);
}

}  // namespace norq::win32
