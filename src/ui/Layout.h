#pragma once
// The installer window as designed: every control, its container, its box in
// twips, its colours and its first state. The Win32 window is created from
// this table and the control model starts from it; nothing else holds layout.
#include <array>
#include <cstdint>

namespace norq {

// Fixed child-window IDs: tests and screen readers find the controls by them.
enum class ControlId : int {
  None = 0,
  Picture_z = 1001,
  Image1 = 1002,
  Label_v = 1003,
  Command_refresh = 1004,
  Label_www = 1005,
  Label4 = 1006,
  Label1 = 1007,
  Label3 = 1008,
  Picture_http = 1009,
  Label_http_state = 1010,
  Label_http_state2 = 1011,
  Picture1 = 1012,
  Command2 = 1013,
};

enum class ControlKind { Panel, Picture, Label, Button };
enum class TextAlign { Left, Center, Right };

// A colour: an RGB value (0x00BBGGRR, as Windows stores it) or a system colour index.
struct Colour {
  bool system;
  std::uint32_t value;
};
constexpr Colour Rgb(unsigned r, unsigned g, unsigned b) { return {false, r | (g << 8) | (b << 16)}; }
constexpr Colour SysColour(unsigned index) { return {true, index}; }

inline constexpr unsigned kColorWindow = 5;
inline constexpr unsigned kColorAppWorkspace = 12;
inline constexpr unsigned kColorBtnText = 18;
inline constexpr Colour kFormBack = Rgb(125, 204, 174);

struct ControlSpec {
  ControlId id;
  ControlId parent;  // None: the window's client area
  ControlKind kind;
  int left, top, width, height;  // twips, relative to the container
  bool visible;
  const wchar_t* caption;
  Colour back;  // panels: their surface; labels draw over their container's
  Colour fore;
  TextAlign align;
  bool autoSize;  // a label that takes the width of its text
};

inline constexpr int kFormScaleWidth = 6195;   // client area, twips
inline constexpr int kFormScaleHeight = 3945;
inline constexpr int kTwipsPerInch = 1440;
inline constexpr wchar_t kFormCaption[] = L"brisel表格快递单打印软件";

extern const std::array<ControlSpec, 13> kLayout;

const ControlSpec& SpecOf(ControlId id);

// Twips to device pixels at `dpi`, rounded to the nearest pixel.
int TwipsToPixels(double twips, int dpi);

}  // namespace norq
