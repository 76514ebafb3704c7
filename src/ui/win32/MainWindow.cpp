#include "ui/win32/MainWindow.h"

#include "platform/win32/WinError.h"
#include "resource.h"
#include "ui/win32/Gdi.h"
#include "ui/EventGuard.h"

namespace norq::win32 {

namespace {
constexpr wchar_t kWindowClass[] = L"NorqInstallerForm";
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kFontPoints = 9;

std::size_t IndexOf(ControlId id) {
  for (std::size_t i = 0; i < kLayout.size(); ++i) {
    if (kLayout[i].id == id) return i;
  }
  return 0;
}

int ScreenDpi() {
  WindowDc screen(nullptr);
  const int dpi = screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : 96;
}
}  // namespace

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance), form_(system_, inet1_, inet2_) {
  inet1_.StateChanged = [this](std::int16_t state) {
    RunEvent(system_, [&] { form_.Inet1_StateChanged(state); });
  };
  inet1_.BytesReceived = [this](std::uint64_t received, std::uint64_t declared) {
    RunEvent(system_, [&] { form_.Inet1_BytesReceived(received, declared); });
  };
}

void MainWindow::Create() {
  dpi_ = ScreenDpi();
  // The window stores no font of its own: texts use the system's default
  // Chinese interface font, 9-point 宋体.
  font_.reset(::CreateFontW(-::MulDiv(kFontPoints, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, L"宋体"));
  if (!font_) ThrowError(ErrorNumber::InternalError, L"CreateFontW", L"宋体", ::GetLastError());
  logo_.reset(::LoadImageW(instance_, MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!logo_) ThrowError(ErrorNumber::InternalError, L"LoadImageW", L"logo", ::GetLastError());

  RegisterControlClasses(instance_);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance_;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                             ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
  wc.hIconSm = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
  wc.lpszClassName = kWindowClass;
  if (!::RegisterClassExW(&wc)) ThrowError(ErrorNumber::InternalError, L"RegisterClassExW", kWindowClass, ::GetLastError());

  // The inner area keeps its designed size; the frame is fixed around it and
  // the whole window is centred on the screen.
  RECT frame{0, 0, Px(kFormScaleWidth), Px(kFormScaleHeight)};
  ::AdjustWindowRectEx(&frame, kFrameStyle, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  window_ = ::CreateWindowExW(0, kWindowClass, kFormCaption, kFrameStyle, x, y, width, height, nullptr, nullptr,
                              instance_, this);
  if (!window_) ThrowError(ErrorNumber::InternalError, L"CreateWindowExW", kWindowClass, ::GetLastError());

  RECT client;
  ::GetClientRect(window_, &client);
  form_.controls().SetScaleWidth(static_cast<double>(client.right) * kTwipsPerInch / dpi_);
  CreateControls();
  system_.SetOwner(window_);
  form_.controls().SetObserver([this](ControlId id, Change change) { OnControlChanged(id, change); });
}

void MainWindow::CreateControls() {
  const Controls& model = form_.controls();
  for (std::size_t i = 0; i < kLayout.size(); ++i) {
    const ControlSpec& spec = kLayout[i];
    ControlLook& look = looks_[i];
    look = ControlLook{spec.back, spec.fore, spec.align, spec.autoSize, static_cast<HFONT>(font_.get()), nullptr};
    if (spec.kind == ControlKind::Picture) look.bitmap = static_cast<HBITMAP>(logo_.get());

    const wchar_t* cls = kPanelClass;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    if (spec.kind == ControlKind::Label) cls = kLabelClass;
    if (spec.kind == ControlKind::Button) {
      cls = L"BUTTON";
      style |= BS_PUSHBUTTON | WS_TABSTOP;
    } else if (spec.kind == ControlKind::Panel) {
      style |= WS_CLIPCHILDREN;
    }
    if (spec.visible) style |= WS_VISIBLE;
    HWND parent = spec.parent == ControlId::None ? window_ : Child(spec.parent);
    HWND child = ::CreateWindowExW(0, cls, model.Caption(spec.id).c_str(), style, Px(spec.left), Px(spec.top),
                                   Px(model.Width(spec.id)), Px(spec.height), parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance_,
                                   spec.kind == ControlKind::Button ? nullptr : &look);
    if (!child) ThrowError(ErrorNumber::InternalError, L"CreateWindowExW", cls, ::GetLastError());
    children_[i] = child;
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    if (spec.autoSize) FitToText(spec.id);
  }
  // The percentage lies over the right end of the state line's box: keep it on top.
  ::SetWindowPos(Child(ControlId::Label_http_state2), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HWND MainWindow::Child(ControlId id) const { return children_[IndexOf(id)]; }

void MainWindow::FitToText(ControlId id) {
  HWND child = Child(id);
  const SIZE size = MeasureText(child, static_cast<HFONT>(font_.get()), form_.controls().Caption(id));
  ::SetWindowPos(child, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::OnControlChanged(ControlId id, Change change) {
  const Controls& model = form_.controls();
  KeepResponsive();
  if (change == Change::FormShown) {
    ::ShowWindow(window_, SW_SHOWNORMAL);
    ::UpdateWindow(window_);
    return;
  }
  HWND child = Child(id);
  switch (change) {
    case Change::Caption:
      ::SetWindowTextW(child, model.Caption(id).c_str());
      if (SpecOf(id).autoSize) FitToText(id);
      ::UpdateWindow(child);
      break;
    case Change::Enabled:
      ::EnableWindow(child, model.Enabled(id) ? TRUE : FALSE);
      break;
    case Change::Visible:
      ::ShowWindow(child, model.Visible(id) ? SW_SHOWNA : SW_HIDE);
      break;
    case Change::Width: {
      // The download loop changes the width for every piece; the window is
      // touched only when a whole pixel changes.
      RECT rect;
      ::GetWindowRect(child, &rect);
      const int pixels = Px(model.Width(id));
      if (pixels != rect.right - rect.left) {
        ::SetWindowPos(child, nullptr, 0, 0, pixels, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::UpdateWindow(child);
      }
      break;
    }
    case Change::FormShown:
      break;
  }
}

// Saving a large body runs inside one event for many seconds. Painting each
// changed control at once, and a look at the queue now and then (which also
// answers messages other programs send, such as a screen reader's), keep the
// window alive and moving without running any other event inside that one.
void MainWindow::KeepResponsive() { system_.KeepAnswering(); }

void MainWindow::Dispatch(void (FrmUpdate::*handler)()) {
  RunEvent(system_, [&] { (form_.*handler)(); });
}

int MainWindow::Run() {
  Dispatch(&FrmUpdate::Form_Load);
  MSG message;
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (::IsDialogMessageW(window_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  // The only way out of the loop the installer takes is the end of the
  // program; a loop that stops for any other reason ends it the same way.
  system_.End();
}

void MainWindow::OnCommand(WPARAM wParam) {
  if (HIWORD(wParam) != BN_CLICKED) return;
  switch (static_cast<ControlId>(LOWORD(wParam))) {
    case ControlId::Command_refresh:
      Dispatch(&FrmUpdate::Command_refresh_Click);
      break;
    case ControlId::Command2:
      Dispatch(&FrmUpdate::Command2_Click);
      break;
    default:
      break;
  }
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* self = static_cast<MainWindow*>(create->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  return self ? self->OnMessage(message, wParam, lParam) : ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      ::GetClientRect(window_, &client);
      HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetBkColor(dc, Resolve(kFormBack));
      ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
      return 1;
    }
    case WM_COMMAND:
      OnCommand(wParam);
      return 0;
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
      // Whatever asks the window to go, the form ends the program at once.
      Dispatch(&FrmUpdate::Form_QueryUnload);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace norq::win32
