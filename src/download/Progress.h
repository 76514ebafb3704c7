#pragma once
// How far a download has come, shown as a bar and a percentage.
#include <cstdint>
#include <string>

namespace norq {

// A percentage as the panel shows it: the quotient rounded to a whole number,
// an exact half to the even neighbour, then "%".
std::wstring FormatPercent(double percent);

// The part of the track that `done` of `total` bytes fill, never more than the
// whole track; 0 for an unknown total.
double BarWidth(double track, std::uint64_t done, std::int64_t total);

// Where a download's progress shows.
class ProgressView {
 public:
  virtual double BarTrack() const = 0;  // the bar's full width
  virtual void ShowBar(double width) = 0;
  virtual void ShowPercent(const std::wstring& text) = 0;

 protected:
  ~ProgressView() = default;
};

// The bar and the percentage follow the bytes really received or written, so
// they never run past the full track or 100%; with no declared length the
// percentage stays blank until the final "100%". Within one download they only
// move forward: the body is counted once as it arrives and again as it is
// saved, and the second count must not show the user a bar that falls back.
class DownloadProgress {
 public:
  explicit DownloadProgress(ProgressView& view) : view_(view) {}

  // An empty bar for the next download, from which its progress climbs.
  void Restart();
  void Show(std::uint64_t done, std::int64_t total);
  // The whole body is in place: a full bar if no length was declared, and "100%".
  void Finish(std::int64_t total);

 private:
  ProgressView& view_;
  std::uint64_t shown_ = 0;  // the count the bar and percentage show
};

}  // namespace norq
