#pragma once
// The one window: creates the controls of the layout table as child windows,
// keeps them in step with the control model, and turns window messages into
// the installer's events.
#include <windows.h>

#include <array>
#include <memory>

#include "platform/win32/Handles.h"
#include "platform/win32/WinInetTransfer.h"
#include "platform/win32/WinSystem.h"
#include "platform/win32/Window.h"
#include "ui/InstallerWindow.h"
#include "ui/win32/ControlWindows.h"

namespace norq::win32 {

class MainWindow final : public Window {
 public:
  // `system` outlives the window: the guard that reports a failure to create
  // it needs the system too.
  MainWindow(HINSTANCE instance, WinSystem& system);
  ~MainWindow() override;

  // Creates the window hidden; the load event shows it.
  void Create();
  // Runs the load event, then the message loop until the program ends.
  [[noreturn]] void Run();

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT OnEraseBackground(HDC dc);
  void OnCommand(WPARAM wParam);
  void OnCloseAsked();
  void OnControlChanged(ControlId id, Change change);
  void CreateControls();
  void FitToText(ControlId id);
  void KeepResponsive();
  void Dispatch(void (InstallerWindow::*handler)());
  HWND Child(ControlId id) const;
  int Px(double twips) const { return TwipsToPixels(twips, dpi_); }

  HINSTANCE instance_;
  WinSystem& system_;
  WinInetTransfer transfer_;
  WinInetTransfer pointerFetch_;
  InstallerWindow installer_;
  int dpi_ = 96;
  UniqueGdiObject font_;
  UniqueGdiObject logo_;
  std::array<std::unique_ptr<DrawnControl>, kLayout.size()> drawn_;  // none for the buttons
  std::array<HWND, kLayout.size()> children_{};
};

}  // namespace norq::win32
