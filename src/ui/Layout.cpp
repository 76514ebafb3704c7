#include "ui/Layout.h"

#include <cmath>
#include <stdexcept>

namespace norq {

namespace {
constexpr Colour kNone = Rgb(0, 0, 0);
constexpr Colour kWhite = Rgb(255, 255, 255);
constexpr Colour kNavy = Rgb(0, 0, 128);
constexpr Colour kBar = Rgb(10, 84, 146);
using K = ControlKind;
using A = TextAlign;
using I = ControlId;
}  // namespace

// Containers come before their children. The percentage lies over the right
// end of the state text's box; the window keeps it above that label.
//   Picture_z          the header band across the top; holds the four below
//   Image1             the product's logo
//   Label_v            the OEM name from norqoem.dat and "专用安装程序"
//   Command_refresh    "开始安装": starts the installation (disabled while busy)
//   Label_www          the download server's address, once found (hidden)
//   Label4             the fixed line that the installation is always the latest
//   Label1             whom to contact when installing keeps failing
//   Label3             "状态: ...": which component is checked or registered
//   Picture_http       the progress panel, shown while a file downloads
//   Label_http_state   the transfer's state line, or "正在下载..." and the name
//   Label_http_state2  the percentage of the current download
//   Picture1           the progress bar; its width follows the bytes received
//   Command2           hidden: its click starts the walk over the components
const std::array<ControlSpec, 13> kLayout = {{
    {I::Picture_z, I::None, K::Panel, -120, 0, 7455, 1935, true, L"", SysColour(kColorWindow), kNone, A::Left, false},
    {I::Image1, I::Picture_z, K::Picture, 3600, 120, 2250, 1620, true, L"", SysColour(kColorWindow), kNone, A::Left, false},
    {I::Label_v, I::Picture_z, K::Label, 240, 1560, 3255, 195, true, L"", SysColour(kColorWindow), SysColour(kColorAppWorkspace), A::Center, false},
    {I::Command_refresh, I::Picture_z, K::Button, 840, 360, 1755, 975, true, L"开始安装", kNone, kNone, A::Center, false},
    {I::Label_www, I::Picture_z, K::Label, 3360, 1920, 2835, 180, false, L"", SysColour(kColorWindow), SysColour(kColorAppWorkspace), A::Right, false},
    {I::Label4, I::None, K::Label, 240, 2040, 4140, 180, true, L"本安装程序每次安装均为最新版本，不用重新下载！", kFormBack, kWhite, A::Left, true},
    {I::Label1, I::None, K::Label, 240, 2280, 360, 180, true, L"", kFormBack, kWhite, A::Left, true},
    {I::Label3, I::None, K::Label, 240, 2520, 90, 180, true, L"", kFormBack, kWhite, A::Left, true},
    {I::Picture_http, I::None, K::Panel, 120, 2880, 5865, 975, false, L"", kFormBack, kNone, A::Left, false},
    {I::Label_http_state, I::Picture_http, K::Label, 300, 180, 5415, 225, true, L"", kFormBack, kNavy, A::Left, false},
    {I::Label_http_state2, I::Picture_http, K::Label, 5340, 210, 555, 195, true, L"", kFormBack, SysColour(kColorBtnText), A::Left, false},
    {I::Picture1, I::Picture_http, K::Panel, 180, 630, 0, 195, true, L"", kBar, kNone, A::Left, false},
    {I::Command2, I::None, K::Button, 5550, 1530, 645, 405, false, L"", kNone, kNone, A::Center, false},
}};

const ControlSpec& SpecOf(ControlId id) {
  for (const auto& spec : kLayout) {
    if (spec.id == id) return spec;
  }
  throw std::out_of_range("unknown control id");
}

int TwipsToPixels(double twips, int dpi) {
  return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

}  // namespace norq
