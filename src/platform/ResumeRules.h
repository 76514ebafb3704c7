#pragma once
// How a download whose body broke off is tried again: how often and when,
// from which byte, with which request headers, what each answer means, and
// the support log's line for each try. Kept apart from WinINet so that every
// decision can be tried on any machine (platform/win32/InetWorker runs them).
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Http.h"

namespace norq {

// After the first try, a body that broke off is tried this many more times.
inline constexpr int kMoreTries = 3;

// The pause before further try `retry` (1 to kMoreTries): one `unitMs`, then
// two, then four, so that a server that is restarting gets time to come back.
std::uint32_t RetryPauseMs(int retry, std::uint32_t unitMs);

// What tells the server which body the landed bytes belong to, for If-Range:
// the answer's ETag, or its Last-Modified without one. A weak ETag ("W/...")
// cannot be used there, so it counts as none. The empty text with neither.
std::wstring RangeValidator(const Headers& headers);

// The byte the next try asks from. The landed bytes are kept when the server
// can be held to the same body (a validator for If-Range), or when the signed
// index's hash checks the whole joined body at the end anyway. Otherwise the
// body starts over: joined from two versions of a file, it would be kept
// with nothing to catch it.
std::uint64_t ResumeFrom(std::uint64_t landed, const std::wstring& validator, bool hashChecked);

// The headers a try sends besides the usual ones, as CR LF ended lines:
// "Range: bytes=N-" and, with a validator, "If-Range: <validator>"; nothing
// from byte 0.
std::wstring RangeRequestHeaders(std::uint64_t from, const std::wstring& validator);

// A "Content-Range: bytes first-last/complete" value; nothing when it is not
// one ("*" for the complete length included: a part of a body of unknown
// size cannot be placed).
struct ContentRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::uint64_t complete = 0;
};
std::optional<ContentRange> ParseContentRange(const std::wstring& text);

enum class TryAnswer {
  Append,     // the rest of the same body: written after the landed bytes
  StartOver,  // the whole body: the landed bytes and their hash are dropped
  FailedTry,  // no use, but another try may be
  Final,      // no try will do better: the transfer fails now
};

// What the answer to a try means: its status and Content-Range, the byte the
// try asked from (0: no Range asked) and the body's full length (0: unknown).
// A 206 is appended only when it starts at that byte and runs to the full
// length; a 4xx is the server's final word; a 5xx and anything else is a
// failed try.
TryAnswer JudgeAnswer(std::uint32_t status, const std::wstring& contentRange, std::uint64_t from,
                      std::uint64_t fullLength);

// Whether a failed try is followed by another: only once a body began (its
// first answer was taken), and only kMoreTries times. A request that never
// got its body fails as it always did.
bool TryAgain(bool bodyBegun, int retriesDone);

// The support log's line for further try `retry`: from where, with which
// validator, after which pause, and why the try before failed.
std::wstring RetryText(const std::wstring& url, int retry, std::uint64_t from, const std::wstring& validator,
                       std::uint32_t pauseMs, const std::wstring& why);
// ... and for what its answer meant.
std::wstring AnswerText(const std::wstring& url, int retry, std::uint32_t status, const std::wstring& contentRange,
                        TryAnswer answer);

}  // namespace norq
