// What every event's guard does with a failure, and what the state line says.
#include <gtest/gtest.h>

#include <iterator>
#include <new>
#include <stdexcept>

#include "FakeSystem.h"
#include "core/RuntimeError.h"
#include "download/StateText.h"
#include "ui/EventGuard.h"

namespace norq::test {

namespace {
// Everything the guard does to the system, in one sequence.
class Recorder : public FakeSystem {
 public:
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
  const struct {
    const char* what;
    std::function<void()> handler;
    std::wstring number, text;
  } cases[] = {
      {"runtime error", [] { throw RuntimeError(ErrorNumber::DiskFull, L"WriteFile C:\\x.tmp", 112); }, L"61",
       L"磁盘已满\n\nWriteFile C:\\x.tmp (112)"},
      {"out of memory", [] { throw std::bad_alloc(); }, L"7", L"内存溢出"},
      {"other exception", [] { throw std::logic_error("x"); }, L"51", L"内部错误"},
      {"not an exception", [] { throw 42; }, L"51", L"内部错误"},
  };
  for (const auto& c : cases) {
    Recorder sys;
    EXPECT_THROW(RunEvent(sys, c.handler), ProgramEnded) << c.what;
    ASSERT_EQ(sys.steps.size(), 4u) << c.what;
    EXPECT_EQ(sys.steps[0].rfind(L"log error " + c.number + L" (", 0), 0u) << c.what;
    EXPECT_EQ(sys.steps[1], L"box 16 norq_installer 实时错误 '" + c.number + L"':\n\n" + c.text) << c.what;
    EXPECT_EQ(sys.steps[2], L"log end: after the error above") << c.what;
    EXPECT_EQ(sys.steps[3], L"end") << c.what;
  }
}

TEST(RunEvent, AHandlerThatReturnsLeavesNoTrace) {
  Recorder sys;
  bool ran = false;
  RunEvent(sys, [&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(sys.steps.empty());
}

TEST(StateText, EveryTransferStateHasItsOwnLine) {
  const wchar_t* const expected[] = {
      nullptr,                                  // 0: no such state
      L"正在查询所指定的主机的   IP   地址",     // 1 resolving
      L"成功地找到所指定的主机的   IP   地址",   // 2 resolved
      L"正在与主机连接",                        // 3 connecting
      L"已与主机连接成功",                      // 4 connected
      L"正在向主机发送请求",                    // 5 requesting
      L"发送请求已成功",                        // 6 request sent
      L"在接收主机的响应",                      // 7 receiving
      nullptr,                                  // 8: the entry's name follows "正在下载..."
      L"正在解除与主机的连接",                  // 9 disconnecting
      L"已成功地与主机解除了连接",              // 10 disconnected
      L"与主机通讯时出现了错误",                // 11 error
      nullptr,                                  // 12: the completion's own text
      nullptr,                                  // 13: no such state
  };
  for (std::int16_t state = 0; state < static_cast<std::int16_t>(std::size(expected)); ++state) {
    const wchar_t* text = StateText(state);
    if (expected[state] == nullptr) {
      EXPECT_EQ(text, nullptr) << state;
    } else {
      ASSERT_NE(text, nullptr) << state;
      EXPECT_STREQ(text, expected[state]) << state;
    }
  }
  EXPECT_EQ(StateText(-1), nullptr);
}

}  // namespace norq::test
