#include "download/Progress.h"

#include <algorithm>
#include <cmath>

namespace norq {

std::wstring FormatPercent(double percent) {
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

void DownloadProgress::Restart() {
  shown_ = 0;
  view_.ShowBar(0);
}

void DownloadProgress::Show(std::uint64_t done, std::int64_t total) {
  if (done <= shown_) return;
  shown_ = done;
  view_.ShowBar(BarWidth(view_.BarTrack(), done, total));
  if (total <= 0) {
    view_.ShowPercent(L"");
    return;
  }
  const auto capped = std::min<std::uint64_t>(done, static_cast<std::uint64_t>(total));
  view_.ShowPercent(FormatPercent(static_cast<double>(capped) * 100.0 / static_cast<double>(total)));
}

void DownloadProgress::Finish(std::int64_t total) {
  if (total <= 0) view_.ShowBar(view_.BarTrack());
  view_.ShowPercent(L"100%");
}

}  // namespace norq
