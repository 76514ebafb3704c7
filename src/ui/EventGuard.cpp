#include "ui/EventGuard.h"

#include <new>

#include "core/RuntimeError.h"

namespace norq {

void RunEvent(System& system, const std::function<void()>& handler) {
  RuntimeError failure(ErrorNumber::InternalError);
  try {
    handler();
    return;
  } catch (const RuntimeError& error) {
    failure = error;
  } catch (const std::bad_alloc&) {
    failure = RuntimeError(ErrorNumber::OutOfMemory);
  } catch (...) {
    // Anything else is a fault of the installer itself: it still gets the
    // report and the end, never the runtime's silent abort.
  }
  system.Log(failure.LogText());
  system.MsgBox(failure.ReportText(), kMbCritical, kErrorReportTitle);
  system.Log(L"end: after the error above");
  system.End();
}

}  // namespace norq
