#include "WindowFixture.h"

#include <set>

#include "download/Progress.h"
#include "platform/Http.h"

namespace norq::test {

TEST(Progress, PercentRoundsHalvesToEvenAndTheBarNeverPassesItsTrack) {
  const struct { double value; const wchar_t* text; } percents[] = {
      {2.5, L"2%"}, {7.5, L"8%"}, {40.96, L"41%"}, {0, L"0%"}, {99.5, L"100%"}, {100, L"100%"}, {0.49, L"0%"}};
  for (const auto& c : percents) EXPECT_EQ(FormatPercent(c.value), c.text) << c.value;
  const struct { std::uint64_t done; std::int64_t total; double width; } bars[] = {
      {1, 4, 25}, {4, 4, 100}, {9, 4, 100}, {5, 0, 0}, {5, -1, 0}, {3'000'000'000ULL, 6'000'000'000LL, 50}};
  for (const auto& c : bars) EXPECT_DOUBLE_EQ(BarWidth(100, c.done, c.total), c.width) << c.done << "/" << c.total;
}

TEST(ParseContentLength, ReadsDigitsSkipsBlanksAndTreatsJunkAsUnknown) {
  const struct { const wchar_t* text; std::int64_t value; } cases[] = {
      {L"2500", 2500}, {L" 25 00\t\n", 2500}, {L"", 0},  {L"abc", 0}, {L"12abc", 12},
      {L"-5", 0},      {L"0", 0},             {L"5000000000", 5000000000}, {L"99999999999999999999999", 0}};
  for (const auto& c : cases) EXPECT_EQ(ParseContentLength(c.text), c.value) << c.text;
}

class Download : public WindowTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Load());
    for (std::size_t i = 1; i < 9; ++i) sys.files[ComponentPath(i)].bytes = "x";
    window.OnStartClicked();  // stops at comcat.dll, the first entry
    captions.clear();
    sys.log.clear();
    window.controls().SetObserver([&](ControlId id, Change change) {
      if (id == ControlId::PercentText && change == Change::Caption) percentages.push_back(Caption(id));
      if (id == ControlId::ProgressBar) widths.push_back(window.controls().Width(id));
    });
  }
  const std::string& Saved() { return sys.files[L"C:\\Windows\\system32\\comcat.dll"].bytes; }
  std::vector<std::wstring> percentages;
  std::vector<double> widths;
};

// A request's states in the order it passes through them: each shows a line
// of its own, the received response names the entry, and the failure is
// logged with its reasons. States without a line leave the last one standing.
// The steps come in pairs, one under way ("在", as in "正在") and then done ("成功"):
// a line swapped with its neighbour's tells the user the wrong one.
TEST_F(Download, EachStateOfARequestShowsItsOwnLineAndAFailureIsLogged) {
  transfer.facts = {404, 9, 9, 1250, L"", FailureCause::Status};
  std::set<std::wstring> lines;
  for (std::int16_t state = -1; state <= 13; ++state) {
    if (state == icResponseCompleted) continue;  // the completion has tests of its own
    const std::wstring before = Caption(ControlId::TransferLine);
    window.OnTransferState(state);
    const std::wstring& shown = Caption(ControlId::TransferLine);
    if (state < icResolvingHost || state > icError) {
      EXPECT_EQ(shown, before) << state;
    } else {
      EXPECT_FALSE(shown.empty()) << state;
      EXPECT_TRUE(lines.insert(shown).second) << state << " repeats the line of another state";
    }
    if (state == icResponseReceived) {
      EXPECT_EQ(shown, L"正在下载...comcat.dll");
    } else if (state >= icResolvingHost && state <= icDisconnected) {
      const bool underWay = state % 2 == 1, done = shown.find(L"成功") != std::wstring::npos;
      EXPECT_EQ(done, !underWay) << state;
      EXPECT_EQ(shown.find(L"在") != std::wstring::npos, underWay) << state;
    }
  }
  EXPECT_EQ(Caption(ControlId::TransferLine), L"与主机通讯时出现了错误");
  EXPECT_EQ(sys.supportLog.back(), L"download failed: " + std::wstring(kServer) +
                                       L"/Soft/System/comcat.txt: HTTP 404, declared 9 bytes, received 9 bytes in "
                                       L"1.250 s, failed: HTTP status 404");
  EXPECT_TRUE(window.controls().Visible(ControlId::ProgressPanel));
  EXPECT_EQ(transfer.executed.size(), 1u);  // a failed download stands: nothing further is fetched
}

// Sizes around the 1024-byte pieces the body is saved in: every byte lands once,
// in order, and the percentage never passes the whole.
TEST_F(Download, BodyIsSavedWholeAndProgressNeverPassesTheWhole) {
  const struct { std::size_t size; const wchar_t* declared; std::vector<std::wstring> percentages; } cases[] = {
      {2500, L"2500", {L"41%", L"82%", L"100%"}},
      {1025, L"1025", {L"100%"}},  // the one-byte last piece is still written
      {1024, L"1024", {L"100%"}},
      {1, L"1", {L"100%"}},
      {0, L"0", {L"100%"}},         // a declared 0 is no length: blank until the end
      {3000, L"", {L"", L"100%"}},  // no length: the same
      {3000, L"1000", {L"100%"}},   // more than declared: capped, never "300%"
  };
  for (const auto& c : cases) {
    std::string body(c.size, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7);
    transfer.Respond(body, c.declared);
    window.controls().SetCaption(ControlId::PercentText, L"-");
    percentages.clear();
    widths.clear();
    sys.files.erase(L"C:\\Windows\\system32\\comcat.dll");
    window.StartWalk();  // the download of comcat.dll starts again, from an empty bar
    window.OnTransferState(icResponseCompleted);
    EXPECT_EQ(Saved(), body) << c.size;
    EXPECT_EQ(percentages, c.percentages) << c.size;
    for (double w : widths) EXPECT_LE(w, 5835.0) << c.size;
  }
}

TEST_F(Download, AFailedReplaceLeavesTheOldFileAndEndsTheEvent) {
  sys.files[L"C:\\Windows\\system32\\comcat.dll"].bytes = "old";
  sys.unwritable = {L"C:\\Windows\\system32\\comcat.dll"};
  transfer.Respond(std::string(5000, 'n'), L"5000");
  EXPECT_THROW(window.OnTransferState(icResponseCompleted), RuntimeError);
  EXPECT_EQ(Saved(), "old");
  EXPECT_TRUE(sys.log.empty());  // nothing registered
}

// The body is counted as it arrives and again as it is saved; the user sees one
// climb. A completed component is registered and the walk goes on to the next
// missing entry; the setup program is launched from the installer's folder.
TEST_F(Download, EachDownloadIsOneClimbAndItsCompletionMovesTheWalkOn) {
  window.OnBytesReceived(3'000'000'000ULL, 6'000'000'000ULL);  // 64-bit counts
  window.OnBytesReceived(2'000'000'000ULL, 6'000'000'000ULL);  // a late, older count changes nothing
  window.OnBytesReceived(6'000'000'000ULL, 6'000'000'000ULL);
  transfer.Respond(std::string(5000, 'b'), L"6000000000");
  window.OnTransferState(icResponseCompleted);  // saved, registered; stdole2.tlb... present; the setup program next
  EXPECT_EQ(percentages, (Lines{L"50%", L"100%"}));  // a change is told once
  EXPECT_EQ(widths, (std::vector<double>{5835.0 / 2, 5835.0, 0}));  // the last: the next download's start
  EXPECT_GE(sys.keepAnswering, 4);  // the window answers while the pieces are saved
  EXPECT_EQ(sys.log.front(),
            L"start \"C:\\Windows\\system32\\regsvr32.exe\" /s \"C:\\Windows\\system32\\comcat.dll\"");
  EXPECT_EQ(Caption(ControlId::TransferLine), L"请求已经完成，并且所有数据均已接收到");
  EXPECT_EQ(transfer.executed.back(), std::wstring(kServer) + L"/norq/Soft/norq_setup.txt GET");

  widths.clear();
  percentages.clear();
  window.OnBytesReceived(1000, 0);  // no declared length: the bar waits for the end
  transfer.Respond("MZ" + std::string(2998, 's'), L"");
  EXPECT_TRUE(Ends([&] { window.OnTransferState(icResponseCompleted); }));
  EXPECT_EQ(percentages, (Lines{L"", L"100%"}));
  EXPECT_EQ(widths, (std::vector<double>{5835.0}));
  EXPECT_EQ(sys.files[L"C:\\pkg\\norq_setup.exe"].bytes, "MZ" + std::string(2998, 's'));
  // Each body lands beside its own target: the system folder's, the installer's folder.
  EXPECT_EQ(transfer.targets, (Lines{L"C:\\Windows\\system32\\comcat.dll", L"C:\\pkg\\norq_setup.exe"}));
  EXPECT_EQ(Lines(sys.log.end() - 2, sys.log.end()), (Lines{L"open C:\\pkg\\norq_setup.exe", L"end program"}));
}

}  // namespace norq::test
