#pragma once
// Whether a request may go on when WinINet cannot be told to keep the user's
// Windows logon from the server. The server's name comes from the network (a
// pointer reply); a dotless one resolves on the LAN, lands in the Intranet
// zone and would get the logon through NTLM unasked. WinINet's option for
// that (INTERNET_OPTION_SUPPRESS_SERVER_AUTH, since Internet Explorer 8, so
// on every Windows 7 and later) still lets a proxy of the user's own settings
// authenticate, as corporate proxies need; INTERNET_FLAG_NO_AUTH would not.
#include <cstdint>

namespace norq {

// True when `win32Code` says this WinINet does not know the option (an older
// one, or Wine's): the request goes on as it always did, and the support log
// says so. Any other failure fails the request rather than let it go out
// unguarded.
bool ServerAuthUnsupported(std::uint32_t win32Code);

}  // namespace norq
