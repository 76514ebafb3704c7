#pragma once
// The one window: creates the controls of the layout table as child windows,
// keeps them in step with the control model, and turns window messages into
// the form's events.
#include <windows.h>

#include <array>

#include "platform/win32/Handles.h"
#include "platform/win32/WinInetTransfer.h"
#include "platform/win32/WinSystem.h"
#include "ui/FrmUpdate.h"
#include "ui/win32/ControlWindows.h"

namespace norq::win32 {

class MainWindow {
 public:
  explicit MainWindow(HINSTANCE instance);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window hidden; the load event shows it.
  void Create();
  // Runs the load event, then the message loop until the program ends.
  int Run();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(WPARAM wParam);
  void OnControlChanged(ControlId id, Change change);
  void CreateControls();
  void FitToText(ControlId id);
  void KeepResponsive();
  void Dispatch(void (FrmUpdate::*handler)());
  HWND Child(ControlId id) const;
  int Px(double twips) const { return TwipsToPixels(twips, dpi_); }

  HINSTANCE instance_;
  WinSystem system_;
  WinInetTransfer inet1_;
  WinInetTransfer inet2_;
  FrmUpdate form_;
  int dpi_ = 96;
  UniqueGdiObject font_;
  UniqueGdiObject logo_;
  std::array<ControlLook, kLayout.size()> looks_{};
  std::array<HWND, kLayout.size()> children_{};
  HWND window_ = nullptr;
};

}  // namespace norq::win32
