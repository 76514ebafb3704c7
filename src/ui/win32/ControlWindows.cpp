#include "ui/win32/ControlWindows.h"

#include "core/RuntimeError.h"
#include "ui/win32/Gdi.h"
#include "platform/win32/WinError.h"

namespace norq::win32 {

namespace {

const ControlLook* LookOf(HWND window) {
  return reinterpret_cast<const ControlLook*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

void KeepLook(HWND window, LPARAM createParam) {
  const auto* create = reinterpret_cast<const CREATESTRUCTW*>(createParam);
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
}

void FillWith(HDC dc, const RECT& rect, Colour colour) {
  ::SetBkColor(dc, Resolve(colour));
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      KeepLook(window, lParam);
      break;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the whole surface
    case WM_PAINT: {
      PaintDc dc(window);
      if (const ControlLook* look = LookOf(window)) {
        RECT client;
        ::GetClientRect(window, &client);
        FillWith(dc.get(), client, look->back);
        BITMAP info{};
        if (look->bitmap && ::GetObjectW(look->bitmap, sizeof info, &info)) {
          MemoryDc memory(dc.get());
          Selection logo(memory.get(), look->bitmap);
          ::BitBlt(dc.get(), 0, 0, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
        }
      }
      return 0;
    }
    case WM_CTLCOLORBTN:
      // The push buttons sit on the header band: their corners take its colour.
      if (const ControlLook* look = LookOf(window)) {
        ::SetBkColor(reinterpret_cast<HDC>(wParam), Resolve(look->back));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(static_cast<int>(look->back.value)));
      }
      break;
    case WM_COMMAND:
      // Clicks of buttons inside a panel belong to the window.
      return ::SendMessageW(::GetAncestor(window, GA_ROOT), message, wParam, lParam);
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

UINT AlignFlag(TextAlign align) {
  switch (align) {
    case TextAlign::Center: return DT_CENTER;
    case TextAlign::Right: return DT_RIGHT;
    case TextAlign::Left: break;
  }
  return DT_LEFT;
}

void PaintLabel(HWND window, HDC dc, const ControlLook& look) {
  RECT client;
  ::GetClientRect(window, &client);
  FillWith(dc, client, look.back);
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  Selection font(dc, look.font);
  ::SetTextColor(dc, Resolve(look.fore));
  ::SetBkMode(dc, TRANSPARENT);
  const UINT wrap = look.autoSize ? DT_SINGLELINE : DT_WORDBREAK;
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client, AlignFlag(look.align) | wrap | DT_NOPREFIX);
}

LRESULT CALLBACK LabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      KeepLook(window, lParam);
      break;
    case WM_SETTEXT: {
      const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
      ::InvalidateRect(window, nullptr, FALSE);
      return result;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PaintDc dc(window);
      if (const ControlLook* look = LookOf(window)) PaintLabel(window, dc.get(), *look);
      return 0;
    }
    case WM_NCHITTEST:
      return HTTRANSPARENT;  // clicks go to what lies beneath, as on a drawn label
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void Register(HINSTANCE instance, const wchar_t* name, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  if (!::RegisterClassExW(&wc)) ThrowError(ErrorNumber::InternalError, L"RegisterClassExW", name, ::GetLastError());
}

}  // namespace

void RegisterControlClasses(HINSTANCE instance) {
  Register(instance, kPanelClass, PanelProc);
  Register(instance, kLabelClass, LabelProc);
}

COLORREF Resolve(Colour colour) {
  return colour.system ? ::GetSysColor(static_cast<int>(colour.value)) : static_cast<COLORREF>(colour.value);
}

SIZE MeasureText(HWND window, HFONT font, const std::wstring& text) {
  SIZE size{0, 0};
  WindowDc dc(window);
  if (!dc.get()) return size;
  Selection selected(dc.get(), font);
  if (text.empty()) {
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    size.cy = metrics.tmHeight;
  } else {
    ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
  }
  return size;
}

}  // namespace norq::win32
