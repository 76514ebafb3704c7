#include "FormFixture.h"
#include "download/Progress.h"
#include "platform/Http.h"

namespace norq::test {

TEST(Progress, PercentRoundsHalvesToEvenAndTheBarNeverPassesItsTrack) {
  const struct { double value; const wchar_t* text; } percents[] = {
      {2.5, L"2%"}, {7.5, L"8%"}, {40.96, L"41%"}, {0, L"0%"}, {99.5, L"100%"}, {100, L"100%"}, {0.49, L"0%"}};
  for (const auto& c : percents) EXPECT_EQ(PercentText(c.value), c.text) << c.value;
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

class Download : public FormTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Load());
    for (int i = 2; i <= 9; ++i) sys.files[form.SystemDir + L"\\" + kManifestEntries[i - 1].displayName].bytes = "x";
    form.Command_refresh_Click();  // stops at comcat.dll, entry 1
    captions.clear();
    sys.log.clear();
    form.controls().SetObserver([&](ControlId id, Change change) {
      if (id == ControlId::Label_http_state2 && change == Change::Caption) percentages.push_back(Caption(id));
      if (id == ControlId::Picture1) widths.push_back(form.controls().Width(id));
    });
  }
  const std::string& Saved() { return sys.files[L"C:\\Windows\\system32\\comcat.dll"].bytes; }
  std::vector<std::wstring> percentages;
  std::vector<double> widths;
};

// Each state shows its own line; 8 names the entry; a state without a line leaves the last one.
TEST_F(Download, EveryStateShowsItsOwnLine) {
  const wchar_t* const lines[] = {
      nullptr,          L"正在查询所指定的主机的   IP   地址", L"成功地找到所指定的主机的   IP   地址",
      L"正在与主机连接", L"已与主机连接成功", L"正在向主机发送请求", L"发送请求已成功", L"在接收主机的响应",
      L"正在下载...comcat.dll", L"正在解除与主机的连接", L"已成功地与主机解除了连接", L"与主机通讯时出现了错误"};
  std::wstring shown = Caption(ControlId::Label_http_state);
  for (std::int16_t state = -1; state < 15; ++state) {
    if (state == icResponseCompleted) continue;  // the completion has tests of its own
    form.Inet1_StateChanged(state);
    if (state >= 0 && state < 12 && lines[state]) shown = lines[state];
    EXPECT_EQ(Caption(ControlId::Label_http_state), shown) << state;
  }
  EXPECT_TRUE(form.controls().Visible(ControlId::Picture_http));
  EXPECT_EQ(inet1.executed.size(), 1u);
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
    inet1.Respond(body, c.declared);
    form.controls().SetCaption(ControlId::Label_http_state2, L"-");
    percentages.clear();
    widths.clear();
    sys.files.erase(L"C:\\Windows\\system32\\comcat.dll");
    form.Command2_Click();  // the download of comcat.dll starts again, from an empty bar
    form.Inet1_StateChanged(icResponseCompleted);
    EXPECT_EQ(Saved(), body) << c.size;
    EXPECT_EQ(percentages, c.percentages) << c.size;
    for (double w : widths) EXPECT_LE(w, 5835.0) << c.size;
  }
}

TEST_F(Download, AFailedReplaceLeavesTheOldFileAndEndsTheEvent) {
  sys.files[L"C:\\Windows\\system32\\comcat.dll"].bytes = "old";
  sys.unwritable = {L"C:\\Windows\\system32\\comcat.dll"};
  inet1.Respond(std::string(5000, 'n'), L"5000");
  EXPECT_THROW(form.Inet1_StateChanged(icResponseCompleted), RuntimeError);
  EXPECT_EQ(Saved(), "old");
  EXPECT_TRUE(sys.log.empty());  // nothing registered
}

// The body is counted as it arrives and again as it is saved; the user sees one
// climb. A completed component is registered and the walk goes on to the next
// missing entry; the setup program is launched from the installer's folder.
TEST_F(Download, EachDownloadIsOneClimbAndItsCompletionMovesTheWalkOn) {
  form.Inet1_BytesReceived(3'000'000'000ULL, 6'000'000'000ULL);  // 64-bit counts
  form.Inet1_BytesReceived(2'000'000'000ULL, 6'000'000'000ULL);  // a late, older count changes nothing
  form.Inet1_BytesReceived(6'000'000'000ULL, 6'000'000'000ULL);
  inet1.Respond(std::string(5000, 'b'), L"6000000000");
  form.Inet1_StateChanged(icResponseCompleted);  // saved, registered; stdole2.tlb... present; the setup program next
  EXPECT_EQ(percentages, (Lines{L"50%", L"100%"}));  // a change is told once
  EXPECT_EQ(widths, (std::vector<double>{5835.0 / 2, 5835.0, 0}));  // the last: the next download's start
  EXPECT_GE(sys.keepAnswering, 4);  // the window answers while the pieces are saved
  EXPECT_EQ(sys.log.front(),
            L"start \"C:\\Windows\\system32\\regsvr32.exe\" /s \"C:\\Windows\\system32\\comcat.dll\"");
  EXPECT_EQ(Caption(ControlId::Label_http_state), L"请求已经完成，并且所有数据均已接收到");
  EXPECT_EQ(inet1.executed.back(), std::wstring(kServer) + L"/norq/Soft/norq_setup.txt GET");

  widths.clear();
  percentages.clear();
  form.Inet1_BytesReceived(1000, 0);  // no declared length: the bar waits for the end
  inet1.Respond("MZ" + std::string(2998, 's'), L"");
  EXPECT_TRUE(Ends([&] { form.Inet1_StateChanged(icResponseCompleted); }));
  EXPECT_EQ(percentages, (Lines{L"", L"100%"}));
  EXPECT_EQ(widths, (std::vector<double>{5835.0}));
  EXPECT_EQ(sys.files[L"C:\\pkg\\norq_setup.exe"].bytes, "MZ" + std::string(2998, 's'));
  // Each body lands beside its own target: the system folder's, the installer's folder.
  EXPECT_EQ(inet1.targets, (Lines{L"C:\\Windows\\system32\\comcat.dll", L"C:\\pkg\\norq_setup.exe"}));
  EXPECT_EQ(Lines(sys.log.end() - 2, sys.log.end()), (Lines{L"open C:\\pkg\\norq_setup.exe", L"end program"}));
}

}  // namespace norq::test
