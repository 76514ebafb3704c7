#include "platform/ProcessStart.h"

namespace norq {

bool IsPassingStartFailure(std::uint32_t win32Code) {
  switch (win32Code) {
    case 8:     // ERROR_NOT_ENOUGH_MEMORY
    case 14:    // ERROR_OUTOFMEMORY
    case 32:    // ERROR_SHARING_VIOLATION: the program file is held open, by a scanner say
    case 1359:  // ERROR_INTERNAL_ERROR: the new process ended before it had started
    case 1450:  // ERROR_NO_SYSTEM_RESOURCES
      return true;
    default:
      return false;
  }
}

}  // namespace norq
