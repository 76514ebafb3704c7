#pragma once
// Waits on the window's thread that still answer what other programs send the
// window (a screen reader's query, the system's "is it hung" probe) and run
// nothing else: posted messages, input and the installer's own events wait.
#include <windows.h>

namespace norq::win32 {

// Answers the messages sent to this thread's windows, if any are waiting.
void AnswerSentMessages();

// WaitForSingleObject that answers sent messages meanwhile; same results.
DWORD WaitAnswering(HANDLE object, DWORD timeoutMs);

// Sleep that answers sent messages meanwhile.
void PauseAnswering(DWORD milliseconds);

// FlushFileBuffers on a helper thread, answering meanwhile: syncing a large
// file can take seconds. Same result and last error as the call itself.
BOOL FlushAnswering(HANDLE file);

}  // namespace norq::win32
