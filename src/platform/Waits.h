#pragma once
// Waits that are made of several shorter ones (answering messages between
// them) still end when the whole wait would have.
#include <cstdint>

namespace norq {

inline constexpr std::uint32_t kWaitForever = 0xFFFFFFFF;  // the system's INFINITE

// What is left of a wait of `timeoutMs` after `spentMs`: never less than
// nothing, and a wait forever stays one however long it has run.
std::uint32_t WaitLeft(std::uint32_t timeoutMs, std::uint64_t spentMs);

}  // namespace norq
