#pragma once
#include <gtest/gtest.h>

#include "FakeSystem.h"
#include "core/RuntimeError.h"
#include "install/Manifest.h"
#include "startup/ServerDiscovery.h"
#include "ui/FrmUpdate.h"

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

// A window with its two fakes, an unpacked package in C:\pkg and a working
// primary pointer page.
struct World {
  World() {
    sys.files[L"C:\\pkg\\norqoem.dat"].text = L"测试版\r\n";
    inet2.pages[PrimaryPointerUrl()] = kServer;
    inet1.system = &sys;
    sys.formShown = [this] { return form.controls().FormShown(); };
    form.controls().SetObserver([this](ControlId id, Change change) {
      if (change == Change::Caption) captions[id].push_back(form.controls().Caption(id));
    });
  }
  bool Load() { return Ends([&] { form.Form_Load(); }); }
  const std::wstring& Caption(ControlId id) const { return form.controls().Caption(id); }

  FakeSystem sys;
  FakeInet inet1, inet2;
  FrmUpdate form{sys, inet1, inet2};
  std::map<ControlId, std::vector<std::wstring>> captions;
};

class FormTest : public ::testing::Test, public World {};

}  // namespace norq::test
