#include "platform/Waits.h"

namespace norq {

std::uint32_t WaitLeft(std::uint32_t timeoutMs, std::uint64_t spentMs) {
  if (timeoutMs == kWaitForever) return kWaitForever;
  return spentMs >= timeoutMs ? 0 : static_cast<std::uint32_t>(timeoutMs - spentMs);
}

}  // namespace norq
