#include "platform/KillByTitle.h"

namespace norq {

void KillProcessByTitle(System& system, const std::wstring& title) {
  for (int pass = 0; pass < kMaxKillPasses; ++pass) {
    const auto window = system.FindTopWindow(title);
    if (window == 0) return;
    const auto processId = system.WindowProcessId(window);
    if (system.EndProcess(processId) != EndProcessResult::Ended) return;
  }
}

}  // namespace norq
