#pragma once
// The plain decisions of the WinINet transfer (platform/win32/WinInetTransfer),
// kept apart from WinINet so that they can be tried on any machine: which
// status reports become states, when a body is missing bytes or too long, when
// a request is given up, how much one read asks for, how a completed body is
// handed out, and when a request may go on without keeping the logon back.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/Inet.h"

namespace norq {

// WinINet's status codes for the steps the transfer reports.
enum class WinInetStatus : std::uint32_t {
  ResolvingName = 10,
  NameResolved = 11,
  ConnectingToServer = 20,
  ConnectedToServer = 21,
  SendingRequest = 30,
  RequestSent = 31,
  ReceivingResponse = 40,
  ResponseReceived = 41,
  ClosingConnection = 50,
  ConnectionClosed = 51,
};

// The state a status report stands for; icNone for reports that are no state.
// The Windows build checks it on the system's own names for the statuses
// (InetWorker.cpp), which is where a wrong number or a swapped state shows.
constexpr std::int16_t StateOf(std::uint32_t status) {
  switch (static_cast<WinInetStatus>(status)) {
    case WinInetStatus::ResolvingName: return icResolvingHost;
    case WinInetStatus::NameResolved: return icHostResolved;
    case WinInetStatus::ConnectingToServer: return icConnecting;
    case WinInetStatus::ConnectedToServer: return icConnected;
    case WinInetStatus::SendingRequest: return icRequesting;
    case WinInetStatus::RequestSent: return icRequestSent;
    case WinInetStatus::ReceivingResponse: return icReceivingResponse;
    case WinInetStatus::ResponseReceived: return icResponseReceived;
    case WinInetStatus::ClosingConnection: return icDisconnecting;
    case WinInetStatus::ConnectionClosed: return icDisconnected;
  }
  return icNone;
}

// Which states a download passes on to the window. Each network read repeats
// "receiving" and "received"; after the first response they would only make
// the status line flicker, and a state equal to the last one is no news.
class StateFilter {
 public:
  bool Pass(std::int16_t state);

 private:
  std::int16_t last_ = icNone;
  bool responseSeen_ = false;
};

// Whether a body that ended after `received` bytes lacks some of the
// `declared` length (0: none declared). A reply read only up to `cap` bytes
// is refused by its reader anyway, so only one that ended before it counts.
bool EndedShort(std::uint64_t received, std::uint64_t declared, std::uint64_t cap = UINT64_MAX);

// The most bytes a body may have: the size the signed index gives it, or no
// bound without one (WinINet itself stops at a declared length). A body is
// refused the moment it passes its bound, before the byte beyond is written,
// and a declared length beyond the bound is refused before anything is read.
inline constexpr std::uint64_t kNoBodyLimit = UINT64_MAX;
bool BeyondLimit(std::uint64_t bytes, std::uint64_t limit);
// A read never asks for more than one byte beyond the bound: enough to tell a
// body that is too long from one that fits.
std::uint32_t BoundedRead(std::uint32_t wanted, std::uint64_t received, std::uint64_t limit);

enum class Overdue { No, Silent, PastDeadline };

// Whether a request has run too long, on the tick counts (ms) of its start, of
// the last thing heard from it and of now. WinINet's own time-outs
// (`timeoutMs`) do not bound every step everywhere, so a request that has
// heard nothing for a little longer than they would wait is given up; with
// `deadline`, one not done within twice that is too, however it trickles.
Overdue CheckOverdue(std::uint64_t now, std::uint64_t started, std::uint64_t lastHeard, std::uint32_t timeoutMs,
                     bool deadline);
// How long a request may hear nothing, for the reason given when it is given up.
std::uint64_t SilenceLimitMs(std::uint32_t timeoutMs);

// How much each network read of a body asks for. A read returns only when its
// buffer is full, so its size follows the link: whatever has arrived plus
// what the last reads showed the link brings in a moment. A fast link is read
// in the largest pieces (small reads cost dearly under Wine), a slow one in
// what has arrived, so the count moves.
class ReadSizer {
 public:
  static constexpr std::uint32_t kLargest = 1024 * 1024;

  // The size of the next read, with `available` bytes already arrived.
  std::uint32_t Next(std::uint32_t available) const;
  // What a read of `wanted` bytes brought and how long it took.
  void After(std::uint32_t wanted, std::uint32_t got, std::uint64_t tookMs);

 private:
  std::uint32_t ahead_ = 0;  // bytes a read may wait for beyond what has arrived
};

// Hands out a completed body in the pieces its caller asks for (1 KB, millions
// of times), reading the body's file in large blocks.
class ChunkReader {
 public:
  // Reads up to `size` bytes into `into`: how many it read, 0 at the end.
  using Source = std::function<std::size_t(std::uint8_t* into, std::size_t size)>;

  explicit ChunkReader(std::size_t blockSize = 256 * 1024) : blockSize_(blockSize) {}

  // `size` bytes while that many remain, then the rest, then nothing; nothing
  // for a size of 0 or less.
  std::vector<std::uint8_t> Take(std::int32_t size, const Source& read);
  // Forgets what is buffered, for the next body.
  void Reset();

 private:
  std::size_t blockSize_;
  std::vector<std::uint8_t> buffer_;
  std::size_t position_ = 0;
};

// Whether a request may go on when WinINet cannot be told to keep the user's
// Windows logon from the server. The server's name comes from the network (a
// pointer reply); a dotless one resolves on the LAN, lands in the Intranet
// zone and would get the logon through NTLM unasked. WinINet's option for
// that (INTERNET_OPTION_SUPPRESS_SERVER_AUTH, since Internet Explorer 8, so
// on every Windows 7 and later) still lets a proxy of the user's own settings
// authenticate, as corporate proxies need; INTERNET_FLAG_NO_AUTH would not.
// True when `win32Code` says this WinINet does not know the option (an older
// one, or Wine's): the request goes on as it always did, and the support log
// says so. Any other failure fails the request rather than let it go out
// unguarded.
bool ServerAuthUnsupported(std::uint32_t win32Code);

}  // namespace norq
