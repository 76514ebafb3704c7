#include "platform/win32/Answering.h"

#include "platform/SystemRules.h"
#include "platform/win32/Handles.h"

static_assert(norq::kWaitForever == INFINITE);

namespace norq::win32 {

namespace {
DWORD WINAPI CloseWork(void* handle) { return ::CloseHandle(static_cast<HANDLE>(handle)) ? 0 : ::GetLastError(); }
}  // namespace

void AnswerSentMessages() {
  MSG message;
  // Peeking handles the sent messages itself, whatever it returns.
  (void)::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

DWORD WaitAnswering(HANDLE object, DWORD timeoutMs) {
  const ULONGLONG start = ::GetTickCount64();
  for (;;) {
    const DWORD left = WaitLeft(timeoutMs, ::GetTickCount64() - start);
    const DWORD wait = ::MsgWaitForMultipleObjectsEx(1, &object, left, QS_SENDMESSAGE, 0);
    if (wait != WAIT_OBJECT_0 + 1) return wait;
    AnswerSentMessages();
  }
}

void PauseAnswering(DWORD milliseconds) {
  // An event nobody sets: the wait ends by its time-out, answering meanwhile.
  UniqueHandle never(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!never) {
    ::Sleep(milliseconds);
    return;
  }
  (void)WaitAnswering(never.get(), milliseconds);
}

void CloseAnswering(HANDLE handle) {
  UniqueHandle worker(::CreateThread(nullptr, 0, CloseWork, handle, 0, nullptr));
  if (!worker) {
    ::CloseHandle(handle);
    return;
  }
  // The thread owns the handle now: whatever the wait comes to, it closes it.
  (void)WaitAnswering(worker.get(), INFINITE);
}

}  // namespace norq::win32
