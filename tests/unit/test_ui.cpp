// The window's layout and control model, and what every event's guard does with a failure.
#include <gtest/gtest.h>

#include <new>
#include <set>
#include <stdexcept>

#include "FakeSystem.h"
#include "core/RuntimeError.h"
#include "ui/Controls.h"
#include "ui/EventGuard.h"

namespace norq::test {

TEST(Layout, DesignedSizesInPixelsAndContainersBeforeTheirControls) {
  const struct { int twips, dpi, pixels; } sizes[] = {
      {kClientWidth, 96, 413}, {kClientHeight, 96, 263}, {-120, 96, -8},
      {kClientWidth, 120, 516}, {kClientWidth, 144, 620}};
  for (const auto& c : sizes) EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
  std::set<ControlId> seen;
  for (const auto& spec : kLayout) {
    EXPECT_TRUE(spec.parent == ControlId::None || seen.count(spec.parent)) << static_cast<int>(spec.id);
    EXPECT_TRUE(seen.insert(spec.id).second);
  }
}

TEST(Controls, ReportOnlyRealChanges) {
  Controls ui;
  int changes = 0;
  ui.SetObserver([&](ControlId, Change) { ++changes; });
  ui.SetCaption(ControlId::StatusLine, L"x");
  ui.SetCaption(ControlId::StatusLine, L"x");
  ui.SetWidth(ControlId::ProgressBar, 10.5);
  ui.SetWidth(ControlId::ProgressBar, 10.5);
  ui.SetEnabled(ControlId::StartButton, true);
  ui.ShowWindow();
  ui.ShowWindow();
  EXPECT_EQ(changes, 3);
}

namespace {
// Everything the guard does to the system, in one sequence.
struct Recorder : FakeSystem {
  void Log(const std::wstring& line) noexcept override { steps.push_back(L"log " + line); }
  int MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) override {
    steps.push_back(L"box " + std::to_wstring(style) + L" " + title + L" " + text);
    return 1;
  }
  [[noreturn]] void End() override {
    steps.push_back(L"end");
    throw ProgramEnded{};
  }
  std::vector<std::wstring> steps;
};
}  // namespace

TEST(RunEvent, AFailureIsLoggedReportedAndEndsTheProgramInThatOrder) {
  const struct { std::function<void()> handler; std::wstring logged, reported; } cases[] = {
      {[] { throw RuntimeError(ErrorNumber::DiskFull, L"WriteFile C:\\x.tmp", 112); },
       L"61 (磁盘已满): WriteFile C:\\x.tmp, Win32 code 112", L"61':\n\n磁盘已满\n\nWriteFile C:\\x.tmp (112)"},
      {[] { throw std::bad_alloc(); }, L"7 (", L"7':\n\n内存溢出"},
      {[] { throw std::logic_error("x"); }, L"51 (", L"51':\n\n内部错误"},
      {[] { throw 42; }, L"51 (", L"51':\n\n内部错误"},
  };
  for (const auto& c : cases) {
    Recorder sys;
    EXPECT_THROW(RunEvent(sys, c.handler), ProgramEnded) << c.reported;
    ASSERT_EQ(sys.steps.size(), 4u) << c.reported;
    EXPECT_EQ(sys.steps[0].rfind(L"log error " + c.logged, 0), 0u) << sys.steps[0];
    EXPECT_EQ(sys.steps[1], L"box 16 norq_installer 实时错误 '" + c.reported);
    EXPECT_EQ(sys.steps[2], L"log end: after the error above");
    EXPECT_EQ(sys.steps[3], L"end");
  }
  Recorder sys;
  bool ran = false;
  RunEvent(sys, [&] { ran = true; });  // a handler that returns leaves no trace
  EXPECT_TRUE(ran);
  EXPECT_TRUE(sys.steps.empty());
}

}  // namespace norq::test
