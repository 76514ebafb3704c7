#include <gtest/gtest.h>

#include <numeric>

#include "platform/Http.h"
#include "platform/TransferRules.h"

namespace norq::test {

TEST(StatusSucceeds, OnlyTwoHundreds) {
  const struct { std::uint32_t status; bool succeeds; } cases[] = {
      {199, false}, {200, true},  {204, true},  {299, true},  {300, false}, {304, false},
      {399, false}, {400, false}, {404, false}, {499, false}, {500, false}, {0, false}};
  for (const auto& c : cases) EXPECT_EQ(StatusSucceeds(c.status), c.succeeds) << c.status;
}

// What WinINet reports through one request, in its order: the handle's
// creation, the steps (the reading ones repeated per read), the completion and
// the closing. The window must see each of its ten states once, in order.
TEST(StateOf, ARequestsReportsBecomeTheStatesInTheirOrder) {
  const std::uint32_t reports[] = {60, 10, 11, 20, 21, 30, 31, 40, 41, 40, 41, 40, 41, 100, 50, 51, 70};
  StateFilter filter;
  std::vector<std::int16_t> passed;
  for (const std::uint32_t report : reports) {
    if (const std::int16_t state = StateOf(report); filter.Pass(state)) passed.push_back(state);
  }
  std::vector<std::int16_t> inOrder(10);
  std::iota(inOrder.begin(), inOrder.end(), std::int16_t{icResolvingHost});
  EXPECT_EQ(passed, inOrder);
}

TEST(StateFilter, PassesEachNewStateAndTheResponseOnlyOnce) {
  StateFilter filter;
  std::vector<std::int16_t> passed;
  for (const std::int16_t state : {0, 1, 1, 2, 3, 4, 5, 6, 7, 7, 8, 7, 8, 7, 8, 9, 10, 10}) {
    if (filter.Pass(state)) passed.push_back(state);
  }
  EXPECT_EQ(passed, (std::vector<std::int16_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(EndedShort, OnlyABodyThatStoppedBeforeItsDeclaredLengthAndCap) {
  const struct { std::uint64_t received, declared, cap; bool isShort; } cases[] = {
      {10, 0, UINT64_MAX, false},  // nothing declared
      {9, 10, UINT64_MAX, true},   {10, 10, UINT64_MAX, false}, {11, 10, UINT64_MAX, false},
      {0, 10, UINT64_MAX, true},   {4096, 5000, 4096, false},  // read up to the cap
      {100, 5000, 4096, true}};
  for (const auto& c : cases) EXPECT_EQ(EndedShort(c.received, c.declared, c.cap), c.isShort) << c.received;
}

TEST(CheckOverdue, SilenceAndTheOverallDeadline) {
  constexpr std::uint32_t kTimeout = 1000;  // silent from 1500 ms, past the deadline at 2000 ms
  const struct { std::uint64_t now, started, lastHeard; bool deadline; Overdue overdue; } cases[] = {
      {1400, 0, 0, true, Overdue::No},          {1500, 0, 0, false, Overdue::Silent},
      {1999, 0, 1000, true, Overdue::No},       {2000, 0, 1999, true, Overdue::PastDeadline},
      {9000, 0, 8999, false, Overdue::No},      {3000, 0, 0, true, Overdue::PastDeadline},
      // heard from just after the clock was read: no silence at all
      {5000, 4000, 5001, false, Overdue::No},   {5000, 5001, 5001, true, Overdue::No}};
  for (const auto& c : cases) EXPECT_EQ(CheckOverdue(c.now, c.started, c.lastHeard, kTimeout, c.deadline), c.overdue) << c.now;
}

// A body signed at `limit` bytes is read up to one byte beyond it and refused at that byte.
TEST(BodyLimit, ReadsStopOneByteBeyondTheSignedSize) {
  const struct { std::uint32_t wanted; std::uint64_t received, limit; std::uint32_t read; } reads[] = {
      {65536, 0, 3000, 3001},  {65536, 2999, 3000, 2}, {65536, 3000, 3000, 1}, {100, 0, 3000, 100},
      {3000, 0, 3000, 3000},   {3001, 0, 3000, 3001},  {3002, 0, 3000, 3001},
      {65536, 5'000'000'000ull, kNoBodyLimit, 65536},  {65536, 0, 0, 1}};
  for (const auto& c : reads) EXPECT_EQ(BoundedRead(c.wanted, c.received, c.limit), c.read) << c.received << "/" << c.limit;
  const struct { std::uint64_t bytes, limit; bool beyond; } sizes[] = {
      {3000, 3000, false}, {3001, 3000, true}, {0, 0, false}, {1, 0, true}, {UINT64_MAX, kNoBodyLimit, false}};
  for (const auto& c : sizes) EXPECT_EQ(BeyondLimit(c.bytes, c.limit), c.beyond) << c.bytes << "/" << c.limit;
}

TEST(ReadSizer, FollowsTheLinkWithinTheLargestRead) {
  ReadSizer sizer;
  EXPECT_EQ(sizer.Next(0), ReadSizer::kLargest);  // nothing known: wait for a full read
  EXPECT_EQ(sizer.Next(500), 500u);
  sizer.After(500, 500, 10);  // quick and full: the link brings more
  EXPECT_EQ(sizer.Next(10), 1000u);
  EXPECT_EQ(sizer.Next(5000), 5000u);
  sizer.After(1000, 600, 10);  // quick but short: no growth
  EXPECT_EQ(sizer.Next(10), 1000u);
  sizer.After(1000, 1000, 500);  // slow: a quarter
  EXPECT_EQ(sizer.Next(10), 250u);
  for (int i = 0; i < 20; ++i) sizer.After(sizer.Next(1), sizer.Next(1), 0);
  EXPECT_EQ(sizer.Next(1), ReadSizer::kLargest);
  EXPECT_EQ(sizer.Next(ReadSizer::kLargest + 1), ReadSizer::kLargest);
}

TEST(ChunkReader, PiecesCrossBlocksAndShortReadsThenTheRestThenNothing) {
  std::vector<std::uint8_t> body(10);
  std::iota(body.begin(), body.end(), std::uint8_t{0});
  std::size_t at = 0;
  int reads = 0;
  const ChunkReader::Source source = [&](std::uint8_t* into, std::size_t size) {
    ++reads;
    const std::size_t n = std::min({size, std::size_t{3}, body.size() - at});  // a file that gives little at a time
    std::copy_n(body.begin() + static_cast<std::ptrdiff_t>(at), n, into);
    at += n;
    return n;
  };
  ChunkReader reader(4);
  EXPECT_EQ(reader.Take(0, source), std::vector<std::uint8_t>{});
  EXPECT_EQ(reader.Take(-1, source), std::vector<std::uint8_t>{});
  EXPECT_EQ(reads, 0);
  EXPECT_EQ(reader.Take(4, source), (std::vector<std::uint8_t>{0, 1, 2, 3}));
  EXPECT_EQ(reader.Take(5, source), (std::vector<std::uint8_t>{4, 5, 6, 7, 8}));
  EXPECT_EQ(reader.Take(4, source), std::vector<std::uint8_t>{9});
  EXPECT_EQ(reader.Take(4, source), std::vector<std::uint8_t>{});

  at = 0;  // the next body: nothing left over from the last
  reader.Take(1, source);
  reader.Reset();
  at = 5;
  EXPECT_EQ(reader.Take(2, source), (std::vector<std::uint8_t>{5, 6}));
}

TEST(Headers, NameValueLinesAfterTheStatusLineFoundByNameInAnyCase) {
  const struct { const wchar_t* raw; Headers headers; } cases[] = {
      {L"HTTP/1.1 200 OK\r\nContent-Length: 12\r\nX-Note:\t a: b \t\r\n\r\n",
       {{L"Content-Length", L"12"}, {L"X-Note", L"a: b"}}},
      {L"HTTP/1.1 200 OK\r\nA: 1\r\nB: 2", {{L"A", L"1"}, {L"B", L"2"}}},  // no CR LF after the last
      {L"HTTP/1.1 200 OK\r\nno colon\r\n : empty name\r\nC:\r\n", {{L"", L"empty name"}, {L"C", L""}}},
      {L"HTTP/1.1 200 Note: not a header", {}},
      {L"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseHeaderBlock(c.raw), c.headers) << c.raw;

  // A name matches in any ASCII case, and only whole.
  const Headers headers = {{L"Content-Length", L"12"}, {L"ETAG", L"x"}, {L"etag", L"second"}};
  const struct { const wchar_t* name; const wchar_t* value; } names[] = {
      {L"content-length", L"12"}, {L"CONTENT-LENGTH", L"12"}, {L"ETag", L"x"},
      {L"Content", L""},          {L"Content-Length2", L""}, {L"Content-Lengtħ", L""}};
  for (const auto& c : names) EXPECT_EQ(FindHeader(headers, c.name), c.value) << c.name;
}

}  // namespace norq::test
