#include "platform/TransferRules.h"

#include <algorithm>

#include "core/Win32Values.h"

namespace norq {

namespace {

constexpr std::uint64_t kSilenceMarginMs = 500;
constexpr std::uint64_t kQuickReadMs = 100;
constexpr std::uint64_t kSlowReadMs = 400;

// The worker may note activity after the watcher read the clock: that is
// no silence at all, not an age that wrapped round.
std::uint64_t Age(std::uint64_t now, std::uint64_t since) { return now > since ? now - since : 0; }

}  // namespace

bool StateFilter::Pass(std::int16_t state) {
  if (state == icNone || state == last_) return false;
  if ((state == icReceivingResponse || state == icResponseReceived) && responseSeen_) return false;
  if (state == icResponseReceived) responseSeen_ = true;
  last_ = state;
  return true;
}

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

std::vector<std::uint8_t> ChunkReader::Take(std::int32_t size, const Source& read) {
  std::vector<std::uint8_t> piece;
  if (size <= 0) return piece;
  const auto wanted = static_cast<std::size_t>(size);
  piece.reserve(wanted);
  while (piece.size() < wanted) {
    if (position_ == buffer_.size()) {
      buffer_.resize(blockSize_);
      buffer_.resize(std::min(read(buffer_.data(), buffer_.size()), blockSize_));
      position_ = 0;
      if (buffer_.empty()) break;
    }
    const std::size_t take = std::min(wanted - piece.size(), buffer_.size() - position_);
    const auto from = buffer_.begin() + static_cast<std::ptrdiff_t>(position_);
    piece.insert(piece.end(), from, from + static_cast<std::ptrdiff_t>(take));
    position_ += take;
  }
  return piece;
}

void ChunkReader::Reset() {
  buffer_.clear();
  position_ = 0;
}

bool ServerAuthUnsupported(std::uint32_t win32Code) {
  switch (win32Code) {
    case kErrorNotSupported:
    case kErrorInvalidParameter:
    case kErrorCallNotImplemented:
    case kErrorInternetInvalidOption:        // an option this WinINet does not know
    case kErrorInternetBadOptionLength:      // known by another shape
    case kErrorInternetIncorrectHandleType:  // not one it takes on a request
      return true;
    default:
      return false;
  }
}

}  // namespace norq
