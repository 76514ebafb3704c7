#pragma once
#include <cstdint>
#include <string>

namespace norq {

// A percentage as the panel shows it: the quotient rounded to a whole number,
// an exact half to the even neighbour, then "%".
std::wstring PercentText(double percent);

// The part of the track that `done` of `total` bytes fill, never more than the
// whole track; 0 for an unknown total.
double BarWidth(double track, std::uint64_t done, std::int64_t total);

}  // namespace norq
