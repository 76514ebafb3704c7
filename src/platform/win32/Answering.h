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

// CloseHandle on a helper thread, answering meanwhile: closing the last handle
// of a large delete-on-close file deletes it, which can take a quarter of a
// second. The handle is closed whatever happens.
void CloseAnswering(HANDLE handle);

}  // namespace norq::win32
