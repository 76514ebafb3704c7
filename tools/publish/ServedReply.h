#pragma once
// What a deployed server answered, and which of its answers an installer
// would trip over: the checks of `norq-publish --verify`, apart from the HTTP
// library that fetches, so that they are tested without a server.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norq::publish {

// One GET as the server answered it, after every redirect it was sent on.
struct ServedReply {
  std::string error;                   // why no answer came (name, connection, time-out); empty when one did
  long status = 0;                     // of the last answer
  std::vector<std::string> addresses;  // the address asked, then each redirect's target, in order
  std::optional<std::string> contentEncoding, contentLength, contentRange;
  std::uint64_t received = 0;          // body bytes of the last answer
};

// Takes one header line of an answer into `reply`. A status line starts a new
// answer (a redirect's, or an interim one), so only the last answer's headers remain.
void TakeHeaderLine(ServedReply& reply, std::string_view line);

// Everything about a whole-file answer that the installer would refuse or
// that damages its download, one line each: no answer, a status other than
// 200, a redirect from https to plain http, a Content-Encoding, a missing or
// wrong Content-Length, a body of another length than `expected` (when known).
std::vector<std::string> ReplyProblems(const std::string& path, const ServedReply& reply,
                                       std::optional<std::uint64_t> expected);

// The same for the answer to "Range: bytes=FROM-" on a file of `size` bytes:
// a 206 whose Content-Range and body are exactly the rest of the file.
std::vector<std::string> RangeProblems(const std::string& path, const ServedReply& reply, std::uint64_t from,
                                       std::uint64_t size);

}  // namespace norq::publish
