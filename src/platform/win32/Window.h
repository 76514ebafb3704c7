#pragma once
// The base of every window the installer makes. It registers the window's
// class on first use, stores `this` in the window at WM_NCCREATE and passes
// each message to HandleMessage, where a subclass sends the messages it
// handles to OnXxx members of its own and the rest to Default.
#include <windows.h>

namespace norq::win32 {

// A class of windows: its name and what the system draws for it before any
// of its windows paints.
struct WindowClass {
  const wchar_t* name;
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
  HCURSOR cursor = nullptr;  // nullptr: the arrow
};

// Where a window is created, in its parent's client pixels (screen pixels for
// a top-level window).
struct WindowBox {
  int x = 0, y = 0, width = 0, height = 0;
};

class Window {
 public:
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // nullptr before Create and after the window is gone.
  HWND handle() const noexcept { return window_; }

 protected:
  Window() = default;
  // Destroys a window still there. Its last messages go to the system's
  // default handling: a subclass is gone by then. A subclass whose handlers
  // reach its own members calls Destroy first in its destructor.
  virtual ~Window();

  // Creates the window; `parent` may be HWND_MESSAGE for a window that only
  // receives posted messages. Throws when the class or the window cannot be made.
  void Create(const WindowClass& windowClass, const wchar_t* title, DWORD style, const WindowBox& box, HWND parent,
              int childId = 0);
  void Destroy() noexcept;

  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window_, message, wParam, lParam);
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
};

}  // namespace norq::win32
