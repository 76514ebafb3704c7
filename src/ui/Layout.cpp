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
// end of the transfer line's box; the window keeps it above that label.
const std::array<ControlSpec, 13> kLayout = {{
    {I::Header, I::None, K::Panel, -120, 0, 7455, 1935, true, L"", SysColour(kColorWindow), kNone, A::Left, false},
    {I::Logo, I::Header, K::Picture, 3600, 120, 2250, 1620, true, L"", SysColour(kColorWindow), kNone, A::Left, false},
    {I::EditionLine, I::Header, K::Label, 240, 1560, 3255, 195, true, L"", SysColour(kColorWindow), SysColour(kColorAppWorkspace), A::Center, false},
    {I::StartButton, I::Header, K::Button, 840, 360, 1755, 975, true, L"开始安装", kNone, kNone, A::Center, false},
    {I::ServerLine, I::Header, K::Label, 3360, 1920, 2835, 180, false, L"", SysColour(kColorWindow), SysColour(kColorAppWorkspace), A::Right, false},
    {I::NoticeLine, I::None, K::Label, 240, 2040, 4140, 180, true, L"本安装程序每次安装均为最新版本，不用重新下载！", kWindowBack, kWhite, A::Left, true},
    {I::HelpLine, I::None, K::Label, 240, 2280, 360, 180, true, L"", kWindowBack, kWhite, A::Left, true},
    {I::StatusLine, I::None, K::Label, 240, 2520, 90, 180, true, L"", kWindowBack, kWhite, A::Left, true},
    {I::ProgressPanel, I::None, K::Panel, 120, 2880, 5865, 975, false, L"", kWindowBack, kNone, A::Left, false},
    {I::TransferLine, I::ProgressPanel, K::Label, 300, 180, 5415, 225, true, L"", kWindowBack, kNavy, A::Left, false},
    {I::PercentText, I::ProgressPanel, K::Label, 5340, 210, 555, 195, true, L"", kWindowBack, SysColour(kColorBtnText), A::Left, false},
    {I::ProgressBar, I::ProgressPanel, K::Panel, 180, 630, 0, 195, true, L"", kBar, kNone, A::Left, false},
    {I::HiddenStarter, I::None, K::Button, 5550, 1530, 645, 405, false, L"", kNone, kNone, A::Center, false},
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
