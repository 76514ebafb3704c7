#include "ui/win32/MainWindow.h"

#include "platform/win32/WinError.h"
#include "resource.h"
#include "ui/win32/Gdi.h"
#include "ui/EventGuard.h"

namespace norq::win32 {

namespace {
constexpr wchar_t kWindowClass[] = L"NorqInstallerWindow";
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

MainWindow::MainWindow(HINSTANCE instance, WinSystem& system)
    : instance_(instance), system_(system), installer_(system_, transfer_, pointerFetch_) {
  transfer_.StateChanged = [this](std::int16_t state) {
    RunEvent(system_, [&] { installer_.OnTransferState(state); });
  };
  transfer_.BytesReceived = [this](std::uint64_t received, std::uint64_t declared) {
    RunEvent(system_, [&] { installer_.OnBytesReceived(received, declared); });
  };
  transfer_.Noted = pointerFetch_.Noted = [this](const std::wstring& note) { system_.Log(note); };
  transfer_.Retried = [this](const std::wstring& line) { system_.Log(L"download " + line); };
}

// Its handlers reach the installer and the controls, which go before the base
// would destroy the window.
MainWindow::~MainWindow() { Destroy(); }

void MainWindow::Create() {
  dpi_ = ScreenDpi();
  // The window stores no font of its own: texts use the system's default
  // Chinese interface font, 9-point 宋体.
  font_.reset(::CreateFontW(-::MulDiv(kFontPoints, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, L"宋体"));
  Check(font_, ErrorNumber::InternalError, L"CreateFontW", L"宋体");
  logo_.reset(::LoadImageW(instance_, MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  Check(logo_, ErrorNumber::InternalError, L"LoadImageW", L"logo");

  const auto icon = [&](int widthMetric, int heightMetric) {
    return static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                           ::GetSystemMetrics(widthMetric), ::GetSystemMetrics(heightMetric), 0));
  };
  const WindowClass windowClass{kWindowClass, icon(SM_CXICON, SM_CYICON), icon(SM_CXSMICON, SM_CYSMICON)};

  // The inner area keeps its designed size; the frame is fixed around it and
  // the whole window is centred on the screen.
  RECT frame{0, 0, Px(kClientWidth), Px(kClientHeight)};
  ::AdjustWindowRectEx(&frame, kFrameStyle, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  Window::Create(windowClass, kWindowTitle, kFrameStyle, {x, y, width, height}, nullptr);

  RECT client;
  ::GetClientRect(handle(), &client);
  installer_.controls().SetClientWidth(static_cast<double>(client.right) * kTwipsPerInch / dpi_);
  CreateControls();
  system_.SetOwner(handle());
  installer_.controls().SetObserver([this](ControlId id, Change change) { OnControlChanged(id, change); });
}

void MainWindow::CreateControls() {
  const Controls& model = installer_.controls();
  for (std::size_t i = 0; i < kLayout.size(); ++i) {
    const ControlSpec& spec = kLayout[i];
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    if (spec.visible) style |= WS_VISIBLE;
    const HWND parent = spec.parent == ControlId::None ? handle() : Child(spec.parent);
    const WindowBox box{Px(spec.left), Px(spec.top), Px(model.Width(spec.id)), Px(spec.height)};
    HWND child = nullptr;
    if (spec.kind == ControlKind::Button) {
      child = ::CreateWindowExW(0, L"BUTTON", model.Caption(spec.id).c_str(), style | BS_PUSHBUTTON | WS_TABSTOP, box.x,
                                box.y, box.width, box.height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance_, nullptr);
      Check(child, ErrorNumber::InternalError, L"CreateWindowExW", L"BUTTON");
    } else {
      ControlLook look{spec.back, spec.fore, spec.align, spec.autoSize, static_cast<HFONT>(font_.get()), nullptr};
      if (spec.kind == ControlKind::Picture) look.bitmap = static_cast<HBITMAP>(logo_.get());
      if (spec.kind == ControlKind::Panel) style |= WS_CLIPCHILDREN;
      drawn_[i] = MakeDrawnControl(spec.kind, look);
      drawn_[i]->Create(parent, spec.id, model.Caption(spec.id), style, box);
      child = drawn_[i]->handle();
    }
    children_[i] = child;
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    if (spec.autoSize) FitToText(spec.id);
  }
  // The percentage lies over the right end of the transfer line's box: keep it on top.
  ::SetWindowPos(Child(ControlId::PercentText), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HWND MainWindow::Child(ControlId id) const { return children_[IndexOf(id)]; }

void MainWindow::FitToText(ControlId id) {
  HWND child = Child(id);
  const SIZE size = MeasureText(child, static_cast<HFONT>(font_.get()), installer_.controls().Caption(id));
  ::SetWindowPos(child, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::OnControlChanged(ControlId id, Change change) {
  const Controls& model = installer_.controls();
  KeepResponsive();
  if (change == Change::WindowShown) {
    ::ShowWindow(handle(), SW_SHOWNORMAL);
    ::UpdateWindow(handle());
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
    case Change::WindowShown:
      break;
  }
}

// Saving a large body runs inside one event for many seconds. Painting each
// changed control at once, and a look at the queue now and then (which also
// answers messages other programs send, such as a screen reader's), keep the
// window alive and moving without running any other event inside that one.
void MainWindow::KeepResponsive() { system_.KeepAnswering(); }

void MainWindow::Dispatch(void (InstallerWindow::*handler)()) {
  RunEvent(system_, [&] { (installer_.*handler)(); });
}

void MainWindow::Run() {
  Dispatch(&InstallerWindow::OnLoad);
  MSG message;
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (::IsDialogMessageW(handle(), &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  // The only way out of the loop the installer takes is the end of the
  // program; a loop that stops for any other reason ends it the same way.
  system_.Log(L"end: the message loop stopped");
  system_.End();
}

void MainWindow::OnCommand(WPARAM wParam) {
  if (HIWORD(wParam) != BN_CLICKED) return;
  switch (static_cast<ControlId>(LOWORD(wParam))) {
    case ControlId::StartButton:
      Dispatch(&InstallerWindow::OnStartClicked);
      break;
    case ControlId::HiddenStarter:
      Dispatch(&InstallerWindow::StartWalk);
      break;
    default:
      break;
  }
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_COMMAND:
      OnCommand(wParam);
      return 0;
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
      OnCloseAsked();
      return 0;
    default:
      return Default(message, wParam, lParam);
  }
}

LRESULT MainWindow::OnEraseBackground(HDC dc) {
  RECT client;
  ::GetClientRect(handle(), &client);
  ::SetBkColor(dc, Resolve(kWindowBack));
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
  return 1;
}

// Whatever asks the window to go, the installer ends the program at once.
void MainWindow::OnCloseAsked() { Dispatch(&InstallerWindow::OnClose); }

}  // namespace norq::win32
