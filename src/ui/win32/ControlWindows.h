#pragma once
// The two window classes the installer draws its own controls with: a panel
// that fills its surface (and may carry a bitmap) and a label that paints its
// container's colour under its text, so a label is transparent and never
// leaves an old text behind when its text changes.
#include <windows.h>

#include <string>

#include "ui/Layout.h"

namespace norq::win32 {

inline constexpr wchar_t kPanelClass[] = L"NorqPanel";
inline constexpr wchar_t kLabelClass[] = L"NorqLabel";

// How one control is drawn; handed to CreateWindowExW as lpParam and kept
// by the window for its life (the owner outlives its child windows).
struct ControlLook {
  Colour back{};
  Colour fore{};
  TextAlign align = TextAlign::Left;
  bool autoSize = false;
  HFONT font = nullptr;
  HBITMAP bitmap = nullptr;  // panels: drawn at its natural size at the top left
};

void RegisterControlClasses(HINSTANCE instance);

COLORREF Resolve(Colour colour);

// The size of a one-line text in the given font, in pixels.
SIZE MeasureText(HWND window, HFONT font, const std::wstring& text);

}  // namespace norq::win32
