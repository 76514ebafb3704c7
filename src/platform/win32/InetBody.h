#pragma once
// Reading a response's body on the worker thread, once its status succeeded.
#include "platform/win32/InetRequest.h"

namespace norq::win32 {

// The body into a temporary file that goes away when closed, hashed and
// checked as it arrives, the count posted to the window as it grows.
bool Spool(InetRequest& r, HINTERNET request);
// The body as text, up to the request's cap.
bool ReadText(InetRequest& r, HINTERNET request);

}  // namespace norq::win32
