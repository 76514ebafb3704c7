#pragma once
// The lock and condition a BufferRing waits on, from the system's slim
// reader/writer lock and condition variable: neither owns a handle or needs
// freeing.
#include <windows.h>

namespace norq::win32 {

class SrwMonitor {
 public:
  SrwMonitor() = default;
  SrwMonitor(const SrwMonitor&) = delete;
  SrwMonitor& operator=(const SrwMonitor&) = delete;

  void Lock() { ::AcquireSRWLockExclusive(&lock_); }
  void Unlock() { ::ReleaseSRWLockExclusive(&lock_); }
  // Without a time-out it returns only when woken, holding the lock again;
  // a FALSE would be an early wake, which every caller's loop already allows.
  void Wait() { ::SleepConditionVariableSRW(&condition_, &lock_, INFINITE, 0); }
  void WakeAll() { ::WakeAllConditionVariable(&condition_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

}  // namespace norq::win32
