#include "platform/win32/InetRequest.h"

namespace norq::win32 {

void InetRequest::Post(UINT message, LPARAM value) const {
  if (!cancelled) ::PostMessageW(window, message, generation, value);
}

void InetRequest::Touch() { lastActivity = ::GetTickCount64(); }

bool InetRequest::Keep(UniqueInternet& slot, UniqueInternet handle) {
  ::AcquireSRWLockExclusive(&handleLock);
  const bool keep = !cancelled;
  if (keep) slot = std::move(handle);
  ::ReleaseSRWLockExclusive(&handleLock);
  return keep;
}

// Closed outside the lock: under Wine a close reads on while the body still
// flows, and the GUI thread must never wait for that.
void InetRequest::CloseHandles() {
  ::AcquireSRWLockExclusive(&handleLock);
  // Destroyed last to first: the request, its connection, the session.
  UniqueInternet closing[] = {std::move(session), std::move(connection), std::move(request)};
  ::ReleaseSRWLockExclusive(&handleLock);
}

void InetRequest::Cancel() {
  cancelled = true;
  CloseHandles();
}

bool InetRequest::Fail(const wchar_t* call) {
  win32Code = ::GetLastError();
  cause = FailureCause::Call;
  failure = call;
  return false;
}

bool InetRequest::Refuse(FailureCause why, std::wstring what) {
  cause = why;
  failure = std::move(what);
  return false;
}

TransferFacts InetRequest::Facts() const { return Facts(cause, failure, win32Code); }

TransferFacts InetRequest::Facts(FailureCause why, std::wstring what, DWORD code) const {
  return {status, declared, received, static_cast<std::uint32_t>(::GetTickCount64() - started), std::move(what), why,
          code, connected};
}

}  // namespace norq::win32
