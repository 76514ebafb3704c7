#pragma once
// What one request's worker thread shares with the transfer on the GUI
// thread. Both hold it by shared_ptr, so it outlives whichever side lets go of
// it last and an abandoned worker never touches a freed transfer.
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Http.h"
#include "platform/Inet.h"
#include "platform/TransferRules.h"
#include "platform/win32/Handles.h"
#include "platform/win32/SystemLibrary.h"

#ifndef NORQ_NET_TIMEOUT_MS
#error "The build defines NORQ_NET_TIMEOUT_MS, the bound on each network step"
#endif
#ifndef NORQ_RETRY_PAUSE_MS
#error "The build defines NORQ_RETRY_PAUSE_MS, the first pause before a broken body is tried again"
#endif

namespace norq::win32 {

constexpr DWORD kTimeoutMs = NORQ_NET_TIMEOUT_MS;
constexpr DWORD kRetryPauseMs = NORQ_RETRY_PAUSE_MS;
// Posted by the worker to the transfer's window: the request's generation in
// WPARAM, and the state (kStateMessage) or nothing (kProgressMessage) in LPARAM.
constexpr UINT kStateMessage = WM_APP + 1;
constexpr UINT kProgressMessage = WM_APP + 2;

struct InternetHandleTraits {
  using Type = HINTERNET;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { WinInet().InternetCloseHandle(h); }
};
using UniqueInternet = Unique<InternetHandleTraits>;

// Why a request, or a try of one, that heard nothing for too long was ended.
std::wstring SilenceText();

struct InetRequest {
  // Fixed before the worker starts.
  HWND window = nullptr;
  std::uint32_t generation = 0;
  std::wstring url;
  std::wstring verb;
  std::wstring agent;
  bool download = false;    // Execute: landed and reported; OpenURL: a short text, silent
  std::size_t textCap = 0;  // a blocking request reads at most this much
  BodyCheck check;          // what a landed body must pass
  // Execute: the file beside the target that the body lands in (platform/win32/Landing).
  // The worker's while it runs; closed by the worker when the request fails.
  UniqueFile landed;
  UniqueHandle done;        // set once the outcome below is complete
  UniqueHandle cancelEvent; // set by Cancel: ends a pause between tries at once
  ULONGLONG started = 0;

  std::atomic<DWORD> workerThread{0};
  std::atomic<bool> cancelled{false};
  std::atomic<bool> ended{false};  // whoever sets it reports the request's end, once
  std::atomic<ULONGLONG> lastActivity{0};
  std::atomic<std::uint64_t> received{0};
  std::atomic<std::uint64_t> declared{0};
  std::atomic<std::uint32_t> status{0};
  std::atomic<bool> progressPending{false};
  std::atomic<bool> connected{false};
  std::atomic<bool> stalled{false};  // the GUI thread ended a try that heard nothing

  // The support log's lines of the tries after the first, until the GUI thread takes them.
  SRWLOCK triesLock = SRWLOCK_INIT;
  std::vector<std::wstring> tries;

  // The worker's own: which states it posts, and whether its reports are news.
  StateFilter posted;
  bool quiet = false;

  // Closed by the worker at the end, or by the GUI thread to abort a blocking call.
  SRWLOCK handleLock = SRWLOCK_INIT;
  UniqueInternet session;
  UniqueInternet connection;
  UniqueInternet request;

  // The outcome, complete before `ended` is claimed or `done` is set.
  bool succeeded = false;
  FailureCause cause = FailureCause::None;
  std::wstring failure;  // what failed, beside the cause (TransferFacts::failure)
  DWORD win32Code = 0;
  std::wstring note;  // what support should know that is no failure; usually empty
  Headers headers;
  std::string text;

  // To the transfer's window, unless the request was let go of.
  void Post(UINT message, LPARAM value) const;
  void Touch();
  // Keeps a new handle where the GUI thread can close it; false if the request
  // was cancelled meanwhile, and then the handle is closed at once.
  bool Keep(UniqueInternet& slot, UniqueInternet handle);
  void CloseHandles();
  void Cancel();
  // Ends a download's silent try from the GUI thread: the worker's blocked
  // call fails, and the worker tries again if it may.
  void EndTry();
  // Waits between tries; false when the request was cancelled meanwhile.
  bool Pause(DWORD milliseconds);
  void NoteTry(std::wstring line);
  std::vector<std::wstring> TakeTries();
  // Records the failed call with GetLastError(); false, for `return r.Fail(...)`.
  bool Fail(const wchar_t* call);
  // Records a failure that is no failed call; false, like Fail.
  bool Refuse(FailureCause why, std::wstring what);
  // The outcome, read once it is complete.
  TransferFacts Facts() const;
  // The facts so far, with a failure of the reader's own.
  TransferFacts Facts(FailureCause why, std::wstring what, DWORD code = 0) const;
};

}  // namespace norq::win32
