#include "platform/ServerAuth.h"

namespace norq {

bool ServerAuthUnsupported(std::uint32_t win32Code) {
  switch (win32Code) {
    case 50:     // ERROR_NOT_SUPPORTED
    case 87:     // ERROR_INVALID_PARAMETER
    case 120:    // ERROR_CALL_NOT_IMPLEMENTED
    case 12009:  // ERROR_INTERNET_INVALID_OPTION: an option this WinINet does not know
    case 12010:  // ERROR_INTERNET_BAD_OPTION_LENGTH: known by another shape
    case 12018:  // ERROR_INTERNET_INCORRECT_HANDLE_TYPE: not one it takes on a request
      return true;
    default:
      return false;
  }
}

}  // namespace norq
