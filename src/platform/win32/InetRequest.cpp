#include "platform/win32/InetRequest.h"

namespace norq::win32 {

std::wstring SilenceText() { return L"no data within " + std::to_wstring(SilenceLimitMs(kTimeoutMs)) + L" ms"; }

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
  if (cancelEvent) ::SetEvent(cancelEvent.get());
  CloseHandles();
}

void InetRequest::EndTry() {
  stalled = true;
  Touch();  // the worker's answer to it is awaited from now
  CloseHandles();
}

bool InetRequest::Pause(DWORD milliseconds) {
  Touch();  // a pause is no silence of the server's
  const DWORD wait = ::WaitForSingleObject(cancelEvent.get(), milliseconds);
  if (wait == WAIT_FAILED) return Fail(L"WaitForSingleObject");
  Touch();
  return wait == WAIT_TIMEOUT && !cancelled;
}

void InetRequest::NoteTry(std::wstring line) {
  ::AcquireSRWLockExclusive(&triesLock);
  tries.push_back(std::move(line));
  ::ReleaseSRWLockExclusive(&triesLock);
}

std::vector<std::wstring> InetRequest::TakeTries() {
  ::AcquireSRWLockExclusive(&triesLock);
  std::vector<std::wstring> taken = std::move(tries);
  tries.clear();
  ::ReleaseSRWLockExclusive(&triesLock);
  return taken;
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
