#include "text/mbcs.h"

#include <climits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace parley {
namespace {

using namespace std::string_view_literals;

// CP949 bytes of the Korean test strings.
#define GA "\xB0\xA1"                                     // 가
#define NA "\xB3\xAA"                                     // 나
#define HELLO "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4"  // 안녕하세요
#define UNTITLED "\xC1\xA6\xB8\xF1\xBE\xF8\xC0\xBD"       // 제목없음
#define HONG "\xC8\xAB\xB1\xE6\xB5\xBF"                   // 홍길동
#define MULTI "\xB8\xD6\xC6\xBC\xB8\xDE\xBD\xC3\xC1\xF6"  // 멀티메시지

TEST(MbcsTest, IsLeadByte) {
  EXPECT_FALSE(IsLeadByte(0x00));
  EXPECT_FALSE(IsLeadByte(0x7F));
  EXPECT_TRUE(IsLeadByte(0x80));
  EXPECT_TRUE(IsLeadByte(0xB0));
  EXPECT_TRUE(IsLeadByte(0xFF));
}

TEST(MbcsTest, ExtractSubString) {
  struct Case {
    std::string_view text;
    int index;
    std::string_view expected;
  };
  const Case cases[] = {
      {"a`b", 0, "a"},
      {"a`b", 1, "b"},
      {"a`b", 2, ""},
      {"a`b", -1, ""},
      {"a`b", INT_MIN, ""},
      {"", 0, ""},
      {"", 1, ""},
      {"a`", 0, "a"},
      {"a`", 1, ""},
      {"a`", 2, ""},
      {"`", 0, ""},
      {"`", 1, ""},
      {"a``b", 1, ""},
      {"a``b", 2, "b"},
      {UNTITLED "`" MULTI, 1, MULTI},
      // "`" right after a lead byte is its second byte, not a separator.
      {GA "\xB0`x`y", 0, GA "\xB0`x"},
      {GA "\xB0`x`y", 1, "y"},
      // A lead byte at the end is a character of its own.
      {"a`\xB0", 1, "\xB0"},
      {"a\0b`c"sv, 0, "a\0b"sv},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)) + " index " + std::to_string(c.index));
    EXPECT_EQ(ExtractSubString(c.text, c.index, '`'), c.expected);
  }
}

TEST(MbcsTest, SplitFieldsMatchesExtractSubString) {
  struct Case {
    std::string_view text;
    char sep;
    std::vector<std::string_view> expected;
  };
  const Case cases[] = {
      {"", '`', {""}},
      {"`", '`', {"", ""}},
      {"a", '`', {"a"}},
      {"a`b", '`', {"a", "b"}},
      {"a`", '`', {"a", ""}},
      {"`a", '`', {"", "a"}},
      {"a``b```", '`', {"a", "", "b", "", "", ""}},
      {HELLO "," UNTITLED ",," MULTI, ',', {HELLO, UNTITLED, "", MULTI}},
      {"\xB0`\xB0``", '`', {"\xB0`\xB0`", ""}},
      {"\xB0,a,\xB0", ',', {"\xB0,a", "\xB0"}},
      {"01012345678\n01098765432\n", '\n', {"01012345678", "01098765432", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    const std::vector<std::string_view> fields = SplitFields(c.text, c.sep);
    EXPECT_EQ(fields, c.expected);
    for (size_t i = 0; i < fields.size(); ++i) {
      EXPECT_EQ(fields[i], ExtractSubString(c.text, static_cast<int>(i), c.sep)) << "field " << i;
      EXPECT_GE(fields[i].data(), c.text.data());
      EXPECT_LE(fields[i].data() + fields[i].size(), c.text.data() + c.text.size());
    }
    EXPECT_EQ(ExtractSubString(c.text, static_cast<int>(fields.size()), c.sep), "");
  }
}

TEST(MbcsTest, SplitFieldsLongList) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "010" + std::to_string(10000000 + i) + "`";
  const std::vector<std::string_view> fields = SplitFields(text, '`');
  ASSERT_EQ(fields.size(), 200001u);
  EXPECT_EQ(fields[0], "01010000000");
  EXPECT_EQ(fields[199999], "01010199999");
  EXPECT_EQ(fields[200000], "");
}

TEST(MbcsTest, ReplaceAll) {
  struct Case {
    std::string_view text, from, to, expected;
    size_t count;
  };
  const Case cases[] = {
      {"", "a", "b", "", 0},
      {"abc", "", "x", "abc", 0},
      {"abc", "d", "x", "abc", 0},
      {"abc", "abc", "", "", 1},
      {"abc", "abcd", "x", "abc", 0},
      // Leftmost first, no overlapping matches.
      {"aaa", "aa", "b", "ba", 1},
      {"aaaa", "aa", "b", "bb", 2},
      // The inserted text is never searched again.
      {"aa", "a", "aa", "aaaa", 2},
      {"ab", "a", "ba", "bab", 1},
      {"a-b--c-", "-", "", "abc", 4},
      {HELLO " " HELLO, HELLO, "\xC0\xDF\xB0\xA1", "\xC0\xDF\xB0\xA1 \xC0\xDF\xB0\xA1", 2},
      {"a<QX>b<QX>", "<QX>", "`", "a`b`", 2},
      // Matches only start at a character: "\xA1\xB3" spans the end of one
      // character and the start of the next.
      {GA NA, "\xA1\xB3", "x", GA NA, 0},
      {"\xB0xy", "xy", "z", "\xB0xy", 0},
      // A rejected candidate must not hide the next one.
      {"\xB0xyxy", "xy", "z", "\xB0xyz", 1},
      {"\xB0\xB0\xB0\xB0\xB0", "\xB0\xB0", "x", "xx\xB0", 2},
      {"a\0b\0"sv, "\0"sv, "0", "a0b0", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)) + " " +
                 testing::PrintToString(std::string(c.from)) + " -> " +
                 testing::PrintToString(std::string(c.to)));
    std::string text(c.text);
    EXPECT_EQ(ReplaceAll(text, c.from, c.to), c.count);
    EXPECT_EQ(text, c.expected);
    EXPECT_EQ(Replaced(c.text, c.from, c.to), c.expected);
  }
}

TEST(MbcsTest, ReplaceAllLongText) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "a<QX>" GA;
  EXPECT_EQ(ReplaceAll(text, "<QX>", "`"), 100000u);
  EXPECT_EQ(text.size(), 100000u * 4);
  EXPECT_EQ(text.substr(0, 8), "a`" GA "a`" GA);
}

TEST(MbcsTest, Atoi) {
  struct Case {
    std::string_view text;
    int expected;
  };
  const Case cases[] = {
      {"", 0},
      {"0", 0},
      {"00", 0},
      {"42", 42},
      {" 42abc", 42},
      {" \t\n\v\f\r12", 12},
      {"-1", -1},
      {"+7", 7},
      {"-0", 0},
      {"007", 7},
      {"12 34", 12},
      {"abc", 0},
      {"- 3", 0},
      {"+-1", 0},
      {"--1", 0},
      {"0x1A", 0},
      {"1e3", 1},
      {GA "12", 0},
      {"12\0 3"sv, 12},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"99999999999", INT_MAX},
      {"99999999999999999999999999", INT_MAX},
      {"-2147483647", -INT_MAX},
      {"-2147483648", INT_MIN},
      {"-2147483649", INT_MIN},
      {"-99999999999999999999999999", INT_MIN},
      {"000000000000000000002147483647", INT_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(Atoi(c.text), c.expected);
  }
}

TEST(MbcsTest, RemoveHyphens) {
  struct Case {
    std::string_view text, expected;
  };
  const Case cases[] = {
      {"", ""},
      {"010-1234-5678", "01012345678"},
      {"---", ""},
      {"01012345678", "01012345678"},
      // A "-" after a lead byte is that character's second byte.
      {"\xB0-", "\xB0-"},
      {"\xB0--", "\xB0-"},
      {"-\xB0", "\xB0"},
      {GA "-" NA, GA NA},
      {HONG "-010-1234-5678", HONG "01012345678"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(RemoveHyphens(c.text), c.expected);
  }
}

TEST(MbcsTest, CutToBytes) {
  struct Case {
    std::string_view text;
    size_t width;
    std::string_view expected;
  };
  const Case cases[] = {
      {"", 0, ""},
      {"", 5, ""},
      {"abc", 0, ""},
      {"abc", 2, "ab"},
      {"abc", 3, "abc"},
      {"abc", 100, "abc"},
      {GA NA, 4, GA NA},
      {GA NA, 3, GA},
      {GA NA, 1, ""},
      {"a" GA, 2, "a"},
      {"a" GA "b", 3, "a" GA},
      {UNTITLED, 7, "\xC1\xA6\xB8\xF1\xBE\xF8"},
      // Any byte after a lead byte belongs to it.
      {"a\xB0`b", 2, "a"},
      {"a\xB0`b", 3, "a\xB0`"},
      // A lead byte at the very end is a one-byte character.
      {"ab\xB0", 3, "ab\xB0"},
      {"ab\xB0", 2, "ab"},
      {"\0\0\0"sv, 2, "\0\0"sv},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)) + " width " + std::to_string(c.width));
    EXPECT_EQ(CutToBytes(c.text, c.width), c.expected);
  }
}

}  // namespace
}  // namespace parley
