#pragma once
// The plain decisions of a transfer: which replies count, when a body is
// missing bytes, when a request is given up and how much one read asks for.
#include <cstddef>
#include <cstdint>

namespace norq {

// Only a 2xx reply carries the body asked for; a redirect WinINet did not
// follow, a client or a server error is a failed request.
bool StatusSucceeds(std::uint32_t status);

// Whether a body that ended after `received` bytes lacks some of the
// `declared` length (0: none declared). A reply read only up to `cap` bytes
// is refused by its reader anyway, so only one that ended before it counts.
bool EndedShort(std::uint64_t received, std::uint64_t declared, std::uint64_t cap = UINT64_MAX);

// The most bytes a body may have: the size the signed index gives it, or no
// bound without one (WinINet itself stops at a declared length). A body is
// refused the moment it passes its bound, before the byte beyond is written,
// and a declared length beyond the bound is refused before anything is read.
inline constexpr std::uint64_t kNoBodyLimit = UINT64_MAX;
bool BeyondLimit(std::uint64_t bytes, std::uint64_t limit);
// A read never asks for more than one byte beyond the bound: enough to tell a
// body that is too long from one that fits.
std::uint32_t BoundedRead(std::uint32_t wanted, std::uint64_t received, std::uint64_t limit);

enum class Overdue { No, Silent, PastDeadline };

// Whether a request has run too long, on the tick counts (ms) of its start, of
// the last thing heard from it and of now. WinINet's own time-outs
// (`timeoutMs`) do not bound every step everywhere, so a request that has
// heard nothing for a little longer than they would wait is given up; with
// `deadline`, one not done within twice that is too, however it trickles.
Overdue CheckOverdue(std::uint64_t now, std::uint64_t started, std::uint64_t lastHeard, std::uint32_t timeoutMs,
                     bool deadline);
// How long a request may hear nothing, for the reason given when it is given up.
std::uint64_t SilenceLimitMs(std::uint32_t timeoutMs);

// How much each network read of a body asks for. A read returns only when its
// buffer is full, so its size follows the link: whatever has arrived plus
// what the last reads showed the link brings in a moment. A fast link is read
// in the largest pieces (small reads cost dearly under Wine), a slow one in
// what has arrived, so the count moves.
class ReadSizer {
 public:
  static constexpr std::uint32_t kLargest = 1024 * 1024;

  // The size of the next read, with `available` bytes already arrived.
  std::uint32_t Next(std::uint32_t available) const;
  // What a read of `wanted` bytes brought and how long it took.
  void After(std::uint32_t wanted, std::uint32_t got, std::uint64_t tookMs);

 private:
  std::uint32_t ahead_ = 0;  // bytes a read may wait for beyond what has arrived
};

}  // namespace norq
