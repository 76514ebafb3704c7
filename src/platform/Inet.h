#pragma once
// The transfer component: one HTTP request at a time. The rest of the program
// depends on exactly this interface; platform/win32/WinInetTransfer is the real
// one, over WinINet on a worker thread.
#include <cstdint>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "trust/BodyCheck.h"

namespace norq {

enum InetState : std::int16_t {
  icNone = 0,
  icResolvingHost = 1,
  icHostResolved = 2,
  icConnecting = 3,
  icConnected = 4,
  icRequesting = 5,
  icRequestSent = 6,
  icReceivingResponse = 7,
  icResponseReceived = 8,
  icDisconnecting = 9,
  icDisconnected = 10,
  icError = 11,
  icResponseCompleted = 12,
};

// What ended a failed request, as far as the transfer could tell. The support
// log turns it into a category (platform/FailureCategory.h).
enum class FailureCause : std::uint8_t {
  None,       // no failure: the request succeeded
  Call,       // a system call failed with `win32Code`
  Status,     // a reply other than 2xx: `status`
  ShortBody,  // the body ended before its declared length
  Silent,     // nothing heard for longer than the time-outs, or no whole reply by the deadline
  WebPage,    // a body refused for a component that is a web page (a captive portal's login)
  Refused,    // any other body refused: empty, not a program, not as signed, too long
  Other,      // everything else: the program ending, a refused address or redirect, ...
};

// What the last request came to, for the support log.
struct TransferFacts {
  std::uint32_t status = 0;     // the HTTP status; 0 when none arrived
  std::uint64_t declared = 0;   // the declared length; 0 when none
  std::uint64_t received = 0;   // body bytes that arrived
  std::uint32_t milliseconds = 0;
  std::wstring failure;         // what failed: the call, or the reason in words; may be empty
  FailureCause cause = FailureCause::None;  // None after a success
  std::uint32_t win32Code = 0;  // the failed call's Win32 code (FailureCause::Call)
  bool connected = false;       // a connection to the server (or the proxy) was made
};

class Inet {
 public:
  virtual ~Inet() = default;

  // Blocks until the whole body has arrived and returns it as text; the empty
  // text on any failure, a status other than 2xx included, and when the body
  // has not arrived whole by an overall deadline, however it trickles. The
  // window keeps painting meanwhile.
  virtual std::wstring OpenURL(const std::wstring& url) = 0;
  // Blocks like OpenURL and returns the body's bytes as they came; nothing on
  // any failure, and for a body longer than `cap`.
  virtual std::optional<std::string> FetchBytes(const std::wstring& url, std::size_t cap) = 0;
  // The next Execute's body must pass this check; one that does not ends in
  // icError like any failed transfer, so no caller ever sees it.
  virtual void ExpectBody(BodyCheck check) = 0;
  // Starts a request and returns at once; it reports through StateChanged.
  // The body lands as it arrives in a new file beside `target`, which stays
  // as it was until ReplaceTarget; throws RuntimeError when no file can be
  // made there.
  virtual void Execute(const std::wstring& url, const std::wstring& operation, const std::wstring& target) = 0;
  // A header of the completed response, the name matched in any letter case;
  // the empty text when absent.
  virtual std::wstring GetHeader(const std::wstring& name) = 0;
  // The next bytes of the completed response's body: `size` while that many
  // remain, then the rest, then nothing.
  virtual std::vector<std::uint8_t> GetChunk(std::int32_t size) = 0;
  // Puts the completed body in place of the last Execute's target in one
  // rename. Throws RuntimeError on failure; the target is then as it was.
  virtual void ReplaceTarget() = 0;
  // The facts of the last request that ended, successful or not.
  virtual TransferFacts LastTransfer() const = 0;

  // Raised on the GUI thread for every state the request passes through;
  // icResponseCompleted once, after the whole body has arrived, and nothing of
  // that request after it; a failed request ends in icError instead.
  std::function<void(std::int16_t state)> StateChanged;
  // Raised on the GUI thread while the body arrives: bytes received so far and
  // the length the response declared (0 when it declared none).
  std::function<void(std::uint64_t received, std::uint64_t declared)> BytesReceived;
};

}  // namespace norq
