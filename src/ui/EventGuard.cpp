#include "ui/EventGuard.h"

#include <new>

#include "core/RuntimeError.h"

namespace norq {

void RunEvent(System& system, const std::function<void()>& handler) {
  std::wstring report;
  try {
    handler();
    return;
  } catch (const RuntimeError& error) {
    report = error.ReportText();
  } catch (const std::bad_alloc&) {
    report = RuntimeError(ErrorNumber::OutOfMemory).ReportText();
  } catch (const std::exception&) {
    report = RuntimeError(ErrorNumber::InternalError).ReportText();
  }
  system.MsgBox(report, kMbCritical, kErrorReportTitle);
  system.End();
}

}  // namespace norq
