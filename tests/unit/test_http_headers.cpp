#include <gtest/gtest.h>

#include "platform/HttpHeaders.h"

namespace norq::test {

TEST(ParseHeaderBlock, NameValueLinesAfterTheStatusLine) {
  const struct {
    const wchar_t* raw;
    Headers headers;
  } cases[] = {
      {L"HTTP/1.1 200 OK\r\nContent-Length: 12\r\nX-Note:\t a: b \t\r\n\r\n",
       {{L"Content-Length", L"12"}, {L"X-Note", L"a: b"}}},
      {L"HTTP/1.1 200 OK\r\nA: 1\r\nB: 2", {{L"A", L"1"}, {L"B", L"2"}}},  // no CR LF after the last
      {L"HTTP/1.1 200 OK\r\nno colon\r\n : empty name\r\nC:\r\n", {{L"", L"empty name"}, {L"C", L""}}},
      {L"HTTP/1.1 200 Note: not a header", {}},
      {L"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseHeaderBlock(c.raw), c.headers) << c.raw;
}

TEST(FindHeader, NamesMatchInAnyAsciiCaseAndWhole) {
  const Headers headers = {{L"Content-Length", L"12"}, {L"ETAG", L"x"}, {L"etag", L"second"}};
  const struct {
    const wchar_t* name;
    const wchar_t* value;
  } cases[] = {{L"content-length", L"12"}, {L"CONTENT-LENGTH", L"12"}, {L"ETag", L"x"},
               {L"Content", L""},          {L"Content-Length2", L""}, {L"Content-Lengtħ", L""}};
  for (const auto& c : cases) EXPECT_EQ(FindHeader(headers, c.name), c.value) << c.name;
}

}  // namespace norq::test
