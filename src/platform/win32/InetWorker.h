#pragma once
// The thread that runs one request against WinINet: it connects, sends,
// checks the reply and reads the body, and posts what it learns to the
// transfer's window. The transfer may cancel it at any time by closing its handles.
#include <memory>

#include "platform/win32/InetRequest.h"

namespace norq::win32 {

// Starts the request's worker; the thread keeps a share of the request until
// it ends. Throws when no thread could be made.
UniqueHandle StartWorker(const std::shared_ptr<InetRequest>& request);

}  // namespace norq::win32
