#pragma once
// The hidden window a transfer's workers post to, so that what they learn is
// handled on the GUI thread; its timer is the transfer's watchdog tick.
#include <windows.h>

#include <cstdint>

#include "platform/win32/Handles.h"

namespace norq::win32 {

class TransferWindow {
 public:
  class Listener {
   public:
    virtual void OnState(std::uint32_t generation, std::int16_t state) = 0;
    virtual void OnProgress(std::uint32_t generation) = 0;
    virtual void OnWatchdog() = 0;

   protected:
    ~Listener() = default;
  };

  // Throws when the window cannot be made.
  explicit TransferWindow(Listener& listener);

  HWND get() const { return window_.get(); }
  // Ticks OnWatchdog every `periodMs` until stopped; false with GetLastError() set.
  bool StartWatchdog(UINT periodMs);
  void StopWatchdog();
  // Before the listener goes: nothing reaches it afterwards.
  void Destroy() { window_.reset(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  Listener& listener_;
  UniqueWindow window_;
};

}  // namespace norq::win32
