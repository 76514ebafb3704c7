#include <gtest/gtest.h>

#include "core/Text.h"
#include "platform/Http.h"

namespace norq {

// A marker is written as its text and CR LF, and read back up to the first CR.
TEST(MarkerLine, IsTheTextThenCrLfAndReadsBackToTheFirstCarriageReturnOnly) {
  for (const std::string text : {"http://dl.example.test:8080", "\xd1\xdd\xca\xbe\xb0\xe6", "", "a\nb"}) {
    EXPECT_EQ(TextLineBytes(text), text + "\r\n");
    EXPECT_EQ(FirstLine(TextLineBytes(text)), text);
  }
  const struct { std::string bytes, line; } cases[] = {
      {"abc\rdef", "abc"},  {"a\nb\nc\rd", "a\nb\nc"}, {"no line end", "no line end"},
      {"\r\nsecond", ""},   {"\xb2\xe2\xca\xd4\r\n", "\xb2\xe2\xca\xd4"}};  // GBK double-byte text
  for (const auto& c : cases) EXPECT_EQ(FirstLine(c.bytes), c.line) << c.bytes;
}

TEST(ArgumentsOf, IsTheTextAfterTheProgramNameKeptToItsEnd) {
  const struct { std::wstring commandLine, arguments; } cases[] = {
      {L"\"C:\\My Files\\norq_installer.exe\" REFRESH", L"REFRESH"}, {L"norq_installer.exe   REFRESH", L"REFRESH"},
      {L"norq_installer.exe REFRESH ", L"REFRESH "},                 {L"norq_installer.exe REFRESH X", L"REFRESH X"},
      {L"\"C:\\a b\\x.exe\"REFRESH", L"REFRESH"},                    {L"x.exe", L""},
      {L"\"unterminated", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(ArgumentsOf(c.commandLine), c.arguments) << c.commandLine;
}

// ASCII by nature, converted one for one: a character beyond ASCII must not
// come out as the letter its low byte spells ("\x142" would be "B").
TEST(AsciiText, NothingBeyondAsciiPassesForAnAsciiCharacter) {
  EXPECT_EQ(Narrow(L"/Soft/System/MCI32.OCX"), "/Soft/System/MCI32.OCX");
  EXPECT_EQ(Narrow(L"\x142x\x80"), "?x?");
  EXPECT_EQ(Widen("https://a.test/"), L"https://a.test/");
  EXPECT_EQ(Widen("\xe6x\x80"), L"\xFFFDx\xFFFD");
}

TEST(RequestAddress, DropsControlCharactersOnly) {
  EXPECT_EQ(RequestAddress(L"http://h:1\r\n/Soft/System/comcat.txt"), L"http://h:1/Soft/System/comcat.txt");
  EXPECT_EQ(RequestAddress(L"http://h/a b//c\t\x7f"), L"http://h/a b//c");
}

}  // namespace norq
