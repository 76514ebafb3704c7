#pragma once
// What kind of failure ended a request, named so that support can answer from
// one line of the log: the name did not resolve, no connection was made, the
// secure channel failed, a proxy wants a login, the server answered with an
// error, the body stalled or ended short, or a web page (a hotel's or a
// station's login) came where a program was expected.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Inet.h"

namespace norq {

enum class FailureKind : std::uint8_t {
  None,
  NameNotResolved,
  NoConnection,  // refused, unreachable or timed out before any reply
  Tls,
  ProxyLogin,    // 407
  HttpStatus,
  Stall,         // connected, then nothing arrived within the time-outs
  ShortBody,     // the body ended, or the connection broke, before its end
  WebPage,
  BodyRefused,
  Other,
};

FailureKind KindOf(const TransferFacts& facts);

// The kind in words with the code that made it so ("stall (Win32 code
// 10060)", "HTTP status 404", "proxy asks for a login (HTTP 407)"); for a TLS
// failure also what Windows 7 users most often need to hear. Empty after a
// success.
std::wstring FailureCategory(const TransferFacts& facts);

// Whether a body is a web page: its Content-Type says HTML, or its first
// bytes, after a byte order mark and blanks, begin a tag.
bool LooksLikeWebPage(std::string_view head, const std::wstring& contentType);

}  // namespace norq
