#pragma once
// Reading a response's body on the worker thread, once its status succeeded.
#include "platform/win32/InetRequest.h"

namespace norq::win32 {

// The body into the request's landed file, hashed and checked as it arrives,
// refused the moment it passes its signed size, the count posted to the
// window as it grows. On success the file is synced and read from its start.
bool Land(InetRequest& r, HINTERNET request);
// The body as text, up to the request's cap.
bool ReadText(InetRequest& r, HINTERNET request);

}  // namespace norq::win32
