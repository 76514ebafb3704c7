#include "platform/TransferRules.h"

#include <algorithm>

namespace norq {

namespace {

constexpr std::uint64_t kSilenceMarginMs = 500;
constexpr std::uint64_t kQuickReadMs = 100;
constexpr std::uint64_t kSlowReadMs = 400;

// The worker may note activity after the watcher read the clock: that is
// no silence at all, not an age that wrapped round.
std::uint64_t Age(std::uint64_t now, std::uint64_t since) { return now > since ? now - since : 0; }

}  // namespace

bool StatusSucceeds(std::uint32_t status) { return status >= 200 && status <= 299; }

bool EndedShort(std::uint64_t received, std::uint64_t declared, std::uint64_t cap) {
  return received < cap && declared != 0 && received < declared;
}

std::uint64_t SilenceLimitMs(std::uint32_t timeoutMs) { return timeoutMs + kSilenceMarginMs; }

Overdue CheckOverdue(std::uint64_t now, std::uint64_t started, std::uint64_t lastHeard, std::uint32_t timeoutMs,
                     bool deadline) {
  if (deadline && Age(now, started) >= 2 * std::uint64_t{timeoutMs}) return Overdue::PastDeadline;
  if (Age(now, lastHeard) >= SilenceLimitMs(timeoutMs)) return Overdue::Silent;
  return Overdue::No;
}

bool BeyondLimit(std::uint64_t bytes, std::uint64_t limit) { return bytes > limit; }

std::uint32_t BoundedRead(std::uint32_t wanted, std::uint64_t received, std::uint64_t limit) {
  if (received > limit) return 0;
  const std::uint64_t room = limit - received;
  return room >= wanted ? wanted : static_cast<std::uint32_t>(room + 1);
}

std::uint32_t ReadSizer::Next(std::uint32_t available) const {
  return available == 0 ? kLargest : std::min(std::max(available, ahead_), kLargest);
}

void ReadSizer::After(std::uint32_t wanted, std::uint32_t got, std::uint64_t tookMs) {
  if (tookMs < kQuickReadMs && got == wanted) ahead_ = std::min(std::max(ahead_, got) * 2, kLargest);
  if (tookMs > kSlowReadMs) ahead_ /= 4;
}

}  // namespace norq
