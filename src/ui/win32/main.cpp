#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <optional>

#include "core/RuntimeError.h"
#include "ui/EventGuard.h"
#include "platform/win32/WinSystem.h"
#include "ui/win32/MainWindow.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before any drive is touched: an empty card reader or DVD drive must not
  // stop the start-up with the system's own "no disk" box.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  // A DLL planted beside the installer (in a download folder, say) must never
  // load into a process that runs with administrator rights.
  // Looked up at run time: a Windows 7 without its 2011 loader update lacks it.
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  const auto setDirectories = reinterpret_cast<SetDirectories>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (!setDirectories || !setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) ::SetDllDirectoryW(L"");

  // The shell's file launch wants a single-threaded apartment.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  // The system comes first, so that a failure to make the window is reported
  // and ends the program as a failed event does. The window is made inside
  // the guard: its transfer components create windows of their own.
  norq::win32::WinSystem system;
  std::optional<norq::win32::MainWindow> window;
  norq::RunEvent(system, [&] {
    if (FAILED(com)) throw norq::RuntimeError(norq::ErrorNumber::InternalError, L"CoInitializeEx", static_cast<std::uint32_t>(com));
    window.emplace(instance, system);
    window->Create();
  });
  window->Run();
}
