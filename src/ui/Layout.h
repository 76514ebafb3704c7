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
  Header = 1001,         // the band across the top; holds the four below
  Logo = 1002,
  EditionLine = 1003,    // the edition name and "专用安装程序"
  StartButton = 1004,    // "开始安装"; disabled while busy
  ServerLine = 1005,     // hidden: the server's address, once found
  NoticeLine = 1006,     // that every installation is the latest version
  HelpLine = 1007,       // whom to contact when installing keeps failing
  StatusLine = 1008,     // "状态: ...": the component checked or registered
  ProgressPanel = 1009,  // shown while a file downloads; holds the three below
  TransferLine = 1010,   // the transfer's state, or "正在下载..." and the file's name
  PercentText = 1011,    // the current download's percentage
  ProgressBar = 1012,    // its width follows the bytes received
  HiddenStarter = 1013,  // hidden: its click starts the walk over the entries
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
inline constexpr Colour kWindowBack = Rgb(125, 204, 174);

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

inline constexpr int kClientWidth = 6195;   // client area, twips
inline constexpr int kClientHeight = 3945;
inline constexpr int kTwipsPerInch = 1440;
inline constexpr wchar_t kWindowTitle[] = L"brisel表格快递单打印软件";

extern const std::array<ControlSpec, 13> kLayout;

const ControlSpec& SpecOf(ControlId id);

// Twips to device pixels at `dpi`, rounded to the nearest pixel.
int TwipsToPixels(double twips, int dpi);

}  // namespace norq
