#pragma once
// The two kinds of control the installer draws itself: a panel that fills its
// surface (and may carry a bitmap) and a label that paints its container's
// colour under its text, so a label is transparent and never leaves an old
// text behind when its text changes.
#include <windows.h>

#include <memory>
#include <string>

#include "platform/win32/Window.h"
#include "ui/Layout.h"

namespace norq::win32 {

// How one control is drawn.
struct ControlLook {
  Colour back{};
  Colour fore{};
  TextAlign align = TextAlign::Left;
  bool autoSize = false;
  HFONT font = nullptr;
  HBITMAP bitmap = nullptr;  // panels: drawn at its natural size at the top left
};

class DrawnControl : public Window {
 public:
  void Create(HWND parent, ControlId id, const std::wstring& caption, DWORD style, const WindowBox& box);

 protected:
  DrawnControl(const WindowClass& windowClass, const ControlLook& look) : class_(windowClass), look_(look) {}
  const ControlLook& look() const { return look_; }

 private:
  const WindowClass& class_;
  ControlLook look_;
};

// A panel for ControlKind::Panel and Picture, a label for Label.
std::unique_ptr<DrawnControl> MakeDrawnControl(ControlKind kind, const ControlLook& look);

COLORREF Resolve(Colour colour);

// The size of a one-line text in the given font, in pixels.
SIZE MeasureText(HWND window, HFONT font, const std::wstring& text);

}  // namespace norq::win32
