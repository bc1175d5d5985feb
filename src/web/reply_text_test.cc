#include "web/reply_text.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

struct Case {
  std::string in;
  std::string out;
};

TEST(FirstLine, KeepsTheFirstLineWithoutCrAndLf) {
  const Case cases[] = {
      {"", ""},         {"1", "1"},         {"1<COL>ok\r\nsecond line\r\n", "1<COL>ok"},
      {"\nsecond", ""}, {"a\rb\rc", "abc"},  // every CR of the line goes, not only the last
      {"0\r", "0"},
  };
  for (const Case& c : cases) EXPECT_EQ(FirstLine(c.in), c.out) << c.in;
}

TEST(NormalizeGetReply, InItsOrder) {
  using namespace std::string_literals;
  const Case cases[] = {
      {"2", ""},
      {"22", "22"},
      {"2<COL>3", "2<COL>3"},
      {"", ""},
      // Backticks are coded first, so a decoded backtick entity stays a real backtick.
      {"a`b&#96;c", "a&gacct;b`c"},
      {"&#65;&#65;", "AA"},    // equal entities: both in one step
      {"&#65;&#66;", "AB"},    // different ones written together
      {"x&#65", "xA"},         // digits that end the text
      {"&#65x", "Ax"},         // a non-digit other than ";" is not part of it
      {"&#1234;", "&#1234;"},  // four digits: left alone
      {"&#12345", "&#12345"},
      {"&#321;", "A"},                     // modulo 256
      {"&#0;a&#256;b", "ab"},              // byte 0: removed
      {"a&#;b", "ab"},                     // no digits: byte 0
      {"&#x41;&#65;", "x41;65;"},          // "&#" alone is removed everywhere
      {"&#65x&#6512;", "AxA12;"},          // an entity is replaced also inside a longer one
      {"\xB0\xA1&#176;", "\xB0\xA1\xB0"},  // CP949 around it
      {"&#176;&#x", "\xB0&#x"},            // a lead byte made by a replacement: no endless search
      {"&#", ""},
      {"a\0&#65;"s, "a\0A"s},  // NUL bytes are kept
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeGetReply(c.in), c.out) << c.in;
}

TEST(FindText, MatchesOnlyAtCharacterStarts) {
  // 0xB1 0x53 is one character whose second byte is 'S'.
  const std::string text = "\xB1SMS:1,SMS:2,";
  EXPECT_EQ(FindText(text, "SMS:"), 7u);
  EXPECT_EQ(FindText(text, ","), 6u);
  EXPECT_EQ(FindText(text, ",", 7), 12u);
  EXPECT_EQ(FindText(text, ",", 13), std::string::npos);
  EXPECT_EQ(FindText(text, ",", 14), std::string::npos);
}

}  // namespace
}  // namespace parley
