#pragma once
// The walk over the planned entries: components already in place are
// registered and passed over, and the walk stops at the next file to fetch.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "install/Plan.h"
#include "platform/System.h"

namespace norq {

// From entry `next` on: each component found present is registered and
// passed; the index of the first entry that is not (a missing component, or
// the setup program, which is always fetched) is returned, plan.size() when
// none is left. `showStatus` shows what is being checked or registered.
std::size_t WalkToNextDownload(const std::vector<PlannedEntry>& plan, std::size_t next, System& system,
                               const std::wstring& systemFolder,
                               const std::function<void(const std::wstring&)>& showStatus);

}  // namespace norq
