#pragma once
#include <string>

#include "platform/System.h"

namespace norq {

// Ends every process that owns a top-level window with exactly this title.
// Stops at a process it cannot open or cannot end, and after a bounded number
// of passes, so that no process can hold the start-up in this loop.
void KillProcessByTitle(System& system, const std::wstring& title);

inline constexpr int kMaxKillPasses = 64;

}  // namespace norq
