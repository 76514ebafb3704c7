#include <gtest/gtest.h>

#include "platform/ResumeRules.h"

namespace norq::test {

TEST(RetryPause, OneTwoFourUnitsThenNoMore) {
  EXPECT_EQ(RetryPauseMs(1, 1000), 1000u);
  EXPECT_EQ(RetryPauseMs(2, 1000), 2000u);
  EXPECT_EQ(RetryPauseMs(3, 1000), 4000u);
  EXPECT_EQ(RetryPauseMs(2, 50), 100u);
  EXPECT_TRUE(TryAgain(true, 0) && TryAgain(true, 2));
  EXPECT_FALSE(TryAgain(true, kMoreTries));  // four tries in all
  EXPECT_FALSE(TryAgain(false, 0));          // no body began: fails as it always did
}

// Which validator a try sends, from which byte it asks, and the headers that says.
TEST(ResumeRequest, ValidatorStartAndHeaders) {
  const Headers strong{{L"Last-Modified", L"Tue, 08 Dec 2026 04:00:00 GMT"}, {L"etag", L"\"5f-1a\""}};
  const Headers weak{{L"ETag", L"W/\"5f-1a\""}, {L"Last-Modified", L"Tue, 08 Dec 2026 04:00:00 GMT"}};
  EXPECT_EQ(RangeValidator(strong), L"\"5f-1a\"");
  EXPECT_EQ(RangeValidator(weak), L"Tue, 08 Dec 2026 04:00:00 GMT");
  EXPECT_EQ(RangeValidator({{L"ETag", L"W/\"x\""}, {L"Content-Length", L"9"}}), L"");

  const struct { std::uint64_t landed; const wchar_t* validator; bool hashed; std::uint64_t from; } starts[] = {
      {5000, L"\"e\"", false, 5000}, {5000, L"", true, 5000}, {5000, L"\"e\"", true, 5000},
      {5000, L"", false, 0},  // a missing validator and no signed hash: joined bodies could not be told apart
  };
  for (const auto& s : starts) EXPECT_EQ(ResumeFrom(s.landed, s.validator, s.hashed), s.from) << s.validator;

  EXPECT_EQ(RangeRequestHeaders(1258291, L"\"5f-1a\""), L"Range: bytes=1258291-\r\nIf-Range: \"5f-1a\"\r\n");
  EXPECT_EQ(RangeRequestHeaders(77, L""), L"Range: bytes=77-\r\n");
  EXPECT_EQ(RangeRequestHeaders(0, L"\"5f-1a\""), L"");
}

TEST(ContentRange, OnlyAWholeByteRangeOfAKnownLength) {
  const auto range = ParseContentRange(L" bytes 100-4999/5000 ");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->first, 100u);
  EXPECT_EQ(range->last, 4999u);
  EXPECT_EQ(range->complete, 5000u);
  EXPECT_TRUE(ParseContentRange(L"Bytes  0-0/1"));
  for (const wchar_t* bad : {L"", L"bytes */5000", L"bytes 100-4999/*", L"items 100-4999/5000", L"bytes 100-/5000",
                             L"bytes 200-100/5000", L"bytes 100-5000/5000", L"bytes 100-4999/5000x",
                             L"bytes=100-4999/5000", L"bytes 1-99999999999999999999/99999999999999999999"}) {
    EXPECT_FALSE(ParseContentRange(bad)) << bad;
  }
}

TEST(JudgeAnswer, WhatEachAnswerToATryMeans) {
  const struct {
    std::uint32_t status;
    const wchar_t* contentRange;
    std::uint64_t from, full;
    TryAnswer answer;
  } cases[] = {
      {206, L"bytes 1500-4999/5000", 1500, 5000, TryAnswer::Append},
      {206, L"bytes 1500-4999/5000", 1500, 0, TryAnswer::Append},        // no length known from the first answer
      {206, L"bytes 1400-4999/5000", 1500, 5000, TryAnswer::FailedTry},  // starts elsewhere
      {206, L"bytes 1600-4999/5000", 1500, 5000, TryAnswer::FailedTry},
      {206, L"bytes 1500-3999/5000", 1500, 5000, TryAnswer::FailedTry},  // stops short of the end
      {206, L"bytes 1500-5999/6000", 1500, 5000, TryAnswer::FailedTry},  // another length: another body
      {206, L"", 1500, 5000, TryAnswer::FailedTry},
      {206, L"bytes 0-4999/5000", 0, 0, TryAnswer::FailedTry},           // a part nobody asked for
      {200, L"", 1500, 5000, TryAnswer::StartOver},                      // the body changed, or no ranges
      {200, L"", 0, 0, TryAnswer::StartOver},
      {204, L"", 0, 0, TryAnswer::StartOver},                            // a 2xx as it always counted
      {404, L"", 1500, 5000, TryAnswer::Final},
      {416, L"bytes */5000", 1500, 5000, TryAnswer::Final},
      {407, L"", 0, 0, TryAnswer::Final},
      {500, L"", 1500, 5000, TryAnswer::FailedTry},
      {503, L"", 1500, 5000, TryAnswer::FailedTry},
      {302, L"", 1500, 5000, TryAnswer::FailedTry},
      {0, L"", 1500, 5000, TryAnswer::FailedTry},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JudgeAnswer(c.status, c.contentRange, c.from, c.full), c.answer)
        << c.status << " " << testing::PrintToString(std::wstring(c.contentRange)) << " from " << c.from;
  }
}

}  // namespace norq::test
