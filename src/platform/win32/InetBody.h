#pragma once
// Reading a response's body on the worker thread, once its status succeeded.
#include <cstdint>
#include <string>

#include "platform/win32/BodySink.h"
#include "platform/win32/InetRequest.h"

namespace norq::win32 {

// How one try of a request ended: with the whole body, with a failure another
// try may mend (the connection broke, stalled or the answer was no use), or
// with one it cannot (a refusal, the disk, a cancel).
enum class TryEnd { Done, FailedTry, Final };

// A body that may arrive over several tries: what the landed file holds so
// far, hashed over all of it.
struct LandedBody {
  LandedBody(HANDLE file, bool hashed);
  BodySink sink;
  std::string head;  // its first bytes, enough to tell a program from a web page
  std::uint64_t total = 0;
};

// Empties the landed file and the hash for a body that starts over.
bool StartOver(InetRequest& r, LandedBody& body);
// The body into the request's landed file after what `body` holds, hashed as
// it arrives, refused the moment it passes its signed size, the count posted
// to the window as it grows.
TryEnd Land(InetRequest& r, HINTERNET request, LandedBody& body);
// The whole body checked; on success the file is synced and read from its start.
bool FinishLanding(InetRequest& r, LandedBody& body);
// The body as text, up to the request's cap.
bool ReadText(InetRequest& r, HINTERNET request);

}  // namespace norq::win32
