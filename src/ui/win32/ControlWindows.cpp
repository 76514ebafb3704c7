#include "ui/win32/ControlWindows.h"

#include "ui/win32/Gdi.h"

namespace norq::win32 {

namespace {

constexpr WindowClass kPanelClass{L"NorqPanel"};
constexpr WindowClass kLabelClass{L"NorqLabel"};

void FillWith(HDC dc, const RECT& rect, Colour colour) {
  ::SetBkColor(dc, Resolve(colour));
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

UINT AlignFlag(TextAlign align) {
  switch (align) {
    case TextAlign::Center: return DT_CENTER;
    case TextAlign::Right: return DT_RIGHT;
    case TextAlign::Left: break;
  }
  return DT_LEFT;
}

class Panel final : public DrawnControl {
 public:
  explicit Panel(const ControlLook& look) : DrawnControl(kPanelClass, look) {}

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_ERASEBKGND: return 1;  // OnPaint fills the whole surface
      case WM_PAINT: return OnPaint();
      case WM_CTLCOLORBTN: return OnButtonColour(reinterpret_cast<HDC>(wParam));
      case WM_COMMAND:
        // Clicks of buttons inside a panel belong to the window.
        return ::SendMessageW(::GetAncestor(handle(), GA_ROOT), message, wParam, lParam);
      default: return Default(message, wParam, lParam);
    }
  }

  LRESULT OnPaint() {
    PaintDc dc(handle());
    RECT client;
    ::GetClientRect(handle(), &client);
    FillWith(dc.get(), client, look().back);
    BITMAP info{};
    if (look().bitmap && ::GetObjectW(look().bitmap, sizeof info, &info)) {
      MemoryDc memory(dc.get());
      Selection logo(memory.get(), look().bitmap);
      ::BitBlt(dc.get(), 0, 0, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
    }
    return 0;
  }

  // The push buttons sit on the header band: their corners take its colour.
  LRESULT OnButtonColour(HDC dc) {
    ::SetBkColor(dc, Resolve(look().back));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(static_cast<int>(look().back.value)));
  }
};

class Label final : public DrawnControl {
 public:
  explicit Label(const ControlLook& look) : DrawnControl(kLabelClass, look) {}

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_SETTEXT: return OnSetText(wParam, lParam);
      case WM_ERASEBKGND: return 1;
      case WM_PAINT: return OnPaint();
      case WM_NCHITTEST: return HTTRANSPARENT;  // clicks go to what lies beneath, as on a drawn label
      default: return Default(message, wParam, lParam);
    }
  }

  LRESULT OnSetText(WPARAM wParam, LPARAM lParam) {
    const LRESULT result = Default(WM_SETTEXT, wParam, lParam);
    ::InvalidateRect(handle(), nullptr, FALSE);
    return result;
  }

  LRESULT OnPaint() {
    PaintDc dc(handle());
    RECT client;
    ::GetClientRect(handle(), &client);
    FillWith(dc.get(), client, look().back);
    const int length = ::GetWindowTextLengthW(handle());
    if (length <= 0) return 0;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(handle(), text.data(), length + 1)));
    Selection font(dc.get(), look().font);
    ::SetTextColor(dc.get(), Resolve(look().fore));
    ::SetBkMode(dc.get(), TRANSPARENT);
    const UINT wrap = look().autoSize ? DT_SINGLELINE : DT_WORDBREAK;
    ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &client,
                AlignFlag(look().align) | wrap | DT_NOPREFIX);
    return 0;
  }
};

}  // namespace

void DrawnControl::Create(HWND parent, ControlId id, const std::wstring& caption, DWORD style, const WindowBox& box) {
  Window::Create(class_, caption.c_str(), style, box, parent, static_cast<int>(id));
}

std::unique_ptr<DrawnControl> MakeDrawnControl(ControlKind kind, const ControlLook& look) {
  if (kind == ControlKind::Label) return std::make_unique<Label>(look);
  return std::make_unique<Panel>(look);
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
