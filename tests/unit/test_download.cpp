#include "FormFixture.h"
#include "download/Progress.h"
#include "download/StateText.h"
#include "platform/ContentLength.h"

namespace norq::test {

TEST(PercentText, RoundsHalvesToTheEvenNeighbour) {
  const struct {
    double value;
    const wchar_t* text;
  } cases[] = {{2.5, L"2%"}, {7.5, L"8%"}, {40.96, L"41%"}, {0, L"0%"}, {99.5, L"100%"}, {100, L"100%"}, {0.49, L"0%"}};
  for (const auto& c : cases) EXPECT_EQ(PercentText(c.value), c.text) << c.value;
}

TEST(ParseContentLength, ReadsDigitsSkipsBlanksAndTreatsJunkAsUnknown) {
  const struct {
    const wchar_t* text;
    std::int64_t value;
  } cases[] = {{L"2500", 2500},       {L" 25 00\t\n", 2500}, {L"", 0},   {L"abc", 0},
               {L"12abc", 12},        {L"-5", 0},            {L"0", 0},  {L"5000000000", 5000000000},
               {L"99999999999999999999999", 0}};
  for (const auto& c : cases) EXPECT_EQ(ParseContentLength(c.text), c.value) << c.text;
}

TEST(StateText, FixedLinesOfTheTransferStates) {
  EXPECT_STREQ(StateText(1), L"正在查询所指定的主机的   IP   地址");
  EXPECT_STREQ(StateText(2), L"成功地找到所指定的主机的   IP   地址");
  EXPECT_STREQ(StateText(11), L"与主机通讯时出现了错误");
  EXPECT_EQ(StateText(0), nullptr);
  EXPECT_EQ(StateText(8), nullptr);
  EXPECT_EQ(StateText(12), nullptr);
  EXPECT_EQ(StateText(13), nullptr);
}

class Download : public FormTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Load());
    for (int i = 2; i <= 9; ++i) sys.files[form.SystemDir + L"\\" + kManifestEntries[i - 1].displayName].bytes = "x";
    form.Command_refresh_Click();  // stops at comcat.dll, entry 1
    ASSERT_EQ(form.CurIndex, 1);
    captions.clear();
    sys.log.clear();
  }
  const std::string& Saved() { return sys.files[L"C:\\Windows\\system32\\comcat.dll"].bytes; }
  std::vector<std::wstring>& Percentages() { return captions[ControlId::Label_http_state2]; }
};

TEST_F(Download, StatesSetTheLineAndResponseReceivedNamesTheEntry) {
  form.Inet1_StateChanged(3);
  EXPECT_EQ(Caption(ControlId::Label_http_state), L"正在与主机连接");
  form.Inet1_StateChanged(0);
  form.Inet1_StateChanged(13);
  EXPECT_EQ(Caption(ControlId::Label_http_state), L"正在与主机连接");
  form.Inet1_StateChanged(8);
  EXPECT_EQ(Caption(ControlId::Label_http_state), L"正在下载...comcat.dll");
  form.Inet1_StateChanged(11);
  EXPECT_EQ(Caption(ControlId::Label_http_state), L"与主机通讯时出现了错误");
  EXPECT_TRUE(form.controls().Visible(ControlId::Picture_http));
  EXPECT_EQ(inet1.executed.size(), 1u);
}

TEST_F(Download, BodyIsSavedInPiecesAndProgressNeverPassesTheWhole) {
  const struct {
    std::size_t size;
    std::vector<std::size_t> pieces;
    std::vector<std::wstring> percentages;
  } cases[] = {
      {2500, {1024, 1024, 452, 0}, {L"41%", L"82%", L"100%"}},
      {1025, {1024, 1}, {L"100%"}},  // the one-byte piece ends the loop and is still written
      {1024, {1024, 0}, {L"100%"}},
      {1, {1}, {L"100%"}},
      {0, {0}, {L"100%"}},  // a declared 0 is no length: blank until the end
  };
  for (const auto& c : cases) {
    std::string body(c.size, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7);
    inet1.Respond(body, std::to_wstring(c.size));
    inet1.chunkSizes.clear();
    form.controls().SetCaption(ControlId::Label_http_state2, L"-");
    Percentages().clear();
    std::vector<double> widths;
    form.controls().SetObserver([&](ControlId id, Change change) {
      if (id == ControlId::Label_http_state2 && change == Change::Caption) Percentages().push_back(Caption(id));
      if (id == ControlId::Picture1) widths.push_back(form.controls().Width(id));
    });
    sys.files.erase(L"C:\\Windows\\system32\\comcat.dll");
    form.Command2_Click();  // the download of comcat.dll starts again, from an empty bar
    ASSERT_EQ(form.CurIndex, 1);
    form.Inet1_StateChanged(icResponseCompleted);
    EXPECT_EQ(Saved(), body) << c.size;
    EXPECT_EQ(inet1.chunkSizes, c.pieces) << c.size;
    EXPECT_EQ(Percentages(), c.percentages) << c.size;
    for (double w : widths) EXPECT_LE(w, 5835.0) << c.size;
  }
  EXPECT_EQ(inet1.headerAsked.back(), L"Content-length");
}

TEST_F(Download, CompletedComponentIsRegisteredAndTheWalkGoesOn) {
  inet1.Respond("MZ component", L"12");
  form.Inet1_StateChanged(icResponseCompleted);
  EXPECT_EQ(sys.log.front(), L"start cmd.exe /c regsvr32/s \"C:\\Windows\\system32\\comcat.dll\"");
  EXPECT_EQ(Caption(ControlId::Label_http_state), L"请求已经完成，并且所有数据均已接收到");
  EXPECT_EQ(Caption(ControlId::Label_http_state2), L"100%");
  EXPECT_EQ(form.controls().Width(ControlId::Picture1), 0);  // reset by the next download's start
  EXPECT_EQ(form.TotalBytes, 12);
  EXPECT_DOUBLE_EQ(form.BarStep, 5835.0 / 12);
  EXPECT_EQ(form.CurIndex, 10);  // entries 2..9 present, then the setup program
  EXPECT_EQ(inet1.executed.back(), std::wstring(kServer) + L"/norq/Soft/norq_setup.txt GET");
  EXPECT_EQ(Caption(ControlId::Label3), L"状态: 注册 MSADODC.OCX ...");
}

TEST_F(Download, UnknownLengthSavesTheBodyWithABlankPercentageUntilTheEnd) {
  inet1.Respond(std::string(3000, 'z'), L"");
  form.Inet1_StateChanged(icResponseCompleted);
  EXPECT_EQ(Saved(), std::string(3000, 'z'));
  EXPECT_EQ(Percentages(), (std::vector<std::wstring>{L"100%"}));
  EXPECT_EQ(form.TotalBytes, 0);
}

TEST_F(Download, SetupProgramIsLaunchedFromTheInstallersFolderAndTheProgramEnds) {
  form.CurIndex = 10;
  inet1.Respond("MZ setup", L"8");
  EXPECT_TRUE(Ends([&] { form.Inet1_StateChanged(icResponseCompleted); }));
  EXPECT_EQ(sys.files[L"C:\\pkg\\norq_setup.exe"].bytes, "MZ setup");
  EXPECT_EQ(sys.log, (std::vector<std::wstring>{L"open C:\\pkg\\norq_setup.exe", L"end program"}));
  EXPECT_TRUE(form.controls().Visible(ControlId::Picture_http));
}

TEST_F(Download, FailedWriteLeavesTheOldFileAndEndsTheEvent) {
  sys.files[L"C:\\Windows\\system32\\comcat.dll"].bytes = "old";
  sys.failTargetAfter = 2048;
  inet1.Respond(std::string(5000, 'n'), L"5000");
  EXPECT_THROW(form.Inet1_StateChanged(icResponseCompleted), RuntimeError);
  EXPECT_EQ(Saved(), "old");
  EXPECT_TRUE(sys.log.empty());  // nothing registered
}

TEST_F(Download, BarAndPercentageFollowTheBytesAsTheyArrive) {
  form.Inet1_BytesReceived(1000, 4000);
  EXPECT_EQ(Caption(ControlId::Label_http_state2), L"25%");
  EXPECT_DOUBLE_EQ(form.controls().Width(ControlId::Picture1), 5835.0 / 4);
  form.Inet1_BytesReceived(5000, 4000);
  EXPECT_EQ(Caption(ControlId::Label_http_state2), L"100%");
  EXPECT_DOUBLE_EQ(form.controls().Width(ControlId::Picture1), 5835.0);
  form.Inet1_BytesReceived(5000000000ULL, 0);
  EXPECT_EQ(Caption(ControlId::Label_http_state2), L"");
}

// The body is counted as it arrives and again as it is saved; the user sees one climb.
TEST_F(Download, OneDownloadIsOneClimbAndTheNextStartsFromAnEmptyBar) {
  std::vector<double> widths;
  form.controls().SetObserver([&](ControlId id, Change change) {
    if (id == ControlId::Label_http_state2 && change == Change::Caption) Percentages().push_back(Caption(id));
    if (id == ControlId::Picture1) widths.push_back(form.controls().Width(id));
  });
  form.Inet1_BytesReceived(2500, 5000);
  form.Inet1_BytesReceived(2000, 5000);  // a late, older count changes nothing
  form.Inet1_BytesReceived(5000, 5000);
  inet1.Respond(std::string(5000, 'b'), L"5000");
  form.Inet1_StateChanged(icResponseCompleted);  // saved, registered; stdole2.tlb... present; the setup program next
  EXPECT_EQ(Percentages(), (std::vector<std::wstring>{L"50%", L"100%"}));  // a change is told once
  EXPECT_EQ(widths, (std::vector<double>{5835.0 / 2, 5835.0, 0}));  // the last: the next download's start
  EXPECT_GE(sys.keepAnswering, 4);  // the window answers while the pieces are saved

  widths.clear();
  Percentages().clear();
  form.Inet1_BytesReceived(1000, 0);  // no declared length: the bar waits for the end
  inet1.Respond(std::string(3000, 's'), L"");
  EXPECT_TRUE(Ends([&] { form.Inet1_StateChanged(icResponseCompleted); }));
  EXPECT_EQ(Percentages(), (std::vector<std::wstring>{L"", L"100%"}));
  EXPECT_EQ(widths, (std::vector<double>{5835.0}));
}

TEST_F(Download, LargeBodiesUseSixtyFourBitCounts) {
  form.Inet1_BytesReceived(3'000'000'000ULL, 6'000'000'000ULL);
  EXPECT_EQ(Caption(ControlId::Label_http_state2), L"50%");
  EXPECT_EQ(ParseContentLength(L"6000000000"), 6'000'000'000LL);
}

}  // namespace norq::test
