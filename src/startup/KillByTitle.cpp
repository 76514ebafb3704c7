#include "startup/KillByTitle.h"

namespace norq {

void KillProcessByTitle(System& system, const std::wstring& title) {
  for (int pass = 0; pass < kMaxKillPasses; ++pass) {
    const auto window = system.FindTopWindow(title);
    if (window == 0) return;
    const auto processId = system.WindowProcessId(window);
    const EndProcessResult result = system.EndProcess(processId);
    system.Log(L"process " + std::to_wstring(processId) + L" with a window titled \"" + title + L"\": " +
               (result == EndProcessResult::Ended ? L"ended" : L"could not be ended"));
    if (result != EndProcessResult::Ended) return;
  }
}

}  // namespace norq
