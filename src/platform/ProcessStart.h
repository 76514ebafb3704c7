#pragma once
// Whether a failed process start is worth another try. A start can fail for a
// moment when the system is short of resources, or while a virus scanner holds
// the program file; the installer then tries again a few times before it
// reports the failure as it always did.
#include <cstdint>

namespace norq {

constexpr int kProcessStartTries = 3;
constexpr std::uint32_t kProcessStartPauseMs = 250;

bool IsPassingStartFailure(std::uint32_t win32Code);

}  // namespace norq
