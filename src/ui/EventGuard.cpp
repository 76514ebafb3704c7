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
  } catch (const std::exception&) {
  }
  system.Log(failure.LogText());
  system.MsgBox(failure.ReportText(), kMbCritical, kErrorReportTitle);
  system.Log(L"end: after the error above");
  system.End();
}

}  // namespace norq
