#pragma once
#include <gtest/gtest.h>

#include "FakeSystem.h"
#include "core/RuntimeError.h"
#include "install/Manifest.h"
#include "startup/PointerReply.h"
#include "ui/InstallerWindow.h"

namespace norq::test {

inline constexpr wchar_t kServer[] = L"http://dl.example.test:8080";  // 27 characters
using Lines = std::vector<std::wstring>;

// Runs an event as the window does; true when it ended the program.
template <typename F>
bool Ends(F event) {
  try {
    event();
  } catch (const ProgramEnded&) {
    return true;
  }
  return false;
}

// A window with its fakes, an unpacked package in C:\pkg and a working primary pointer page.
struct World {
  World() {
    sys.files[L"C:\\pkg\\norqoem.dat"].text = L"测试版\r\n";
    pointers.pages[PrimaryPointerUrl()] = kServer;
    transfer.system = &sys;
    sys.windowShown = [this] { return window.controls().WindowShown(); };
    window.controls().SetObserver([this](ControlId id, Change change) {
      if (change == Change::Caption) captions[id].push_back(window.controls().Caption(id));
    });
  }
  bool Load() { return Ends([&] { window.OnLoad(); }); }
  const std::wstring& Caption(ControlId id) const { return window.controls().Caption(id); }
  std::wstring ComponentPath(std::size_t entry) const {
    return L"C:\\Windows\\system32\\" + std::wstring(kManifest[entry].fileName);
  }

  FakeSystem sys;
  FakeInet transfer, pointers;
  InstallerWindow window{sys, transfer, pointers};
  std::map<ControlId, std::vector<std::wstring>> captions;
};

class WindowTest : public ::testing::Test, public World {};

}  // namespace norq::test
