#pragma once
// One request on the wire for the worker: the session, connection and
// request handles made and kept where the GUI thread can close them, WinINet's
// steps reported as states, the user's logon kept from servers, and the
// request sent and its status read.
#include <string>

#include "platform/Http.h"
#include "platform/win32/InetBody.h"
#include "platform/win32/InetRequest.h"

namespace norq::win32 {

// The reply's headers, by name and value; none when WinINet has none to give.
Headers ResponseHeaders(HINTERNET request);

// Sends one request, with `headers` besides the usual ones, and reads its
// status; the request's handle in `request`.
TryEnd Ask(InetRequest& r, const URL_COMPONENTSW& parts, const std::wstring& headers, HINTERNET& request);

}  // namespace norq::win32
