#pragma once
// The hidden window a transfer's workers post to, so that what they learn is
// handled on the GUI thread; its timer is the transfer's watchdog tick.
#include <windows.h>

#include <cstdint>

#include "platform/win32/Window.h"

namespace norq::win32 {

class TransferWindow final : public Window {
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

  ~TransferWindow() override { Destroy(); }

  HWND get() const { return handle(); }
  // Ticks OnWatchdog every `periodMs` until stopped; false with GetLastError() set.
  bool StartWatchdog(UINT periodMs);
  void StopWatchdog();
  // Before the listener goes: nothing reaches it afterwards.
  using Window::Destroy;

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  Listener& listener_;
};

}  // namespace norq::win32
