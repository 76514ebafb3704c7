#include "download/Progress.h"

#include <algorithm>
#include <cmath>

#include "ui/FrmUpdate.h"

namespace norq {

std::wstring PercentText(double percent) {
  double whole = std::floor(percent);
  const double rest = percent - whole;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1;
  return std::to_wstring(static_cast<long long>(whole)) + L"%";
}

double BarWidth(double track, std::uint64_t done, std::int64_t total) {
  if (total <= 0) return 0;
  const auto capped = std::min<std::uint64_t>(done, static_cast<std::uint64_t>(total));
  return track * (static_cast<double>(capped) / static_cast<double>(total));
}

// The full track is the window's inner width less the bar's left margin on
// both sides.
double FrmUpdate::BarTrack() const { return ui_.ScaleWidth() - 2 * ui_.Left(ControlId::Picture1); }

// The bar and the percentage follow the bytes really received or written, so
// they never run past the full track or 100%; with no declared length the
// percentage stays blank until the final "100%". Within one download they only
// move forward: the body is counted once as it arrives and again as it is
// saved, and the second count must not show the user a bar that falls back.
void FrmUpdate::ShowProgress(std::uint64_t done, std::int64_t total) {
  if (done <= shownBytes_) return;
  shownBytes_ = done;
  ui_.SetWidth(ControlId::Picture1, BarWidth(BarTrack(), done, total));
  if (total <= 0) {
    ui_.SetCaption(ControlId::Label_http_state2, L"");
    return;
  }
  const auto capped = std::min<std::uint64_t>(done, static_cast<std::uint64_t>(total));
  ui_.SetCaption(ControlId::Label_http_state2,
                 PercentText(static_cast<double>(capped) * 100.0 / static_cast<double>(total)));
}

void FrmUpdate::ResetProgress() {
  shownBytes_ = 0;
  ui_.SetWidth(ControlId::Picture1, 0);
}

void FrmUpdate::Inet1_BytesReceived(std::uint64_t received, std::uint64_t declared) {
  ShowProgress(received, static_cast<std::int64_t>(std::min<std::uint64_t>(declared, INT64_MAX)));
}

}  // namespace norq
