#include "text/cp949.h"

#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace parley {
namespace {

using namespace std::string_view_literals;

// CP949 bytes of the Korean test strings, checked against iconv.
constexpr std::string_view kHelloAnsi = "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4";  // 안녕하세요
constexpr std::string_view kUntitledAnsi = "\xC1\xA6\xB8\xF1\xBE\xF8\xC0\xBD";       // 제목없음
constexpr std::string_view kMultiAnsi = "\xB8\xD6\xC6\xBC\xB8\xDE\xBD\xC3\xC1\xF6";  // 멀티메시지
constexpr std::string_view kSentUtf8 = "총 %d건이\n성공적으로 전송되었습니다";
constexpr std::string_view kSentAnsi =
    "\xC3\xD1 %d\xB0\xC7\xC0\xCC\n"
    "\xBC\xBA\xB0\xF8\xC0\xFB\xC0\xB8\xB7\xCE \xC0\xFC\xBC\xDB\xB5\xC7\xBE\xFA\xBD\xC0\xB4\xCF"
    "\xB4\xD9";

struct Pair {
  std::string_view utf8;
  std::string_view ansi;
};

// Text both encodings represent exactly, so it converts both ways.
const Pair kLossless[] = {
    {"", ""},
    {"Hello, World! 0123 ~`{}|\t\r\n", "Hello, World! 0123 ~`{}|\t\r\n"},
    {"안녕하세요", kHelloAnsi},
    {"제목없음", kUntitledAnsi},
    {"멀티메시지", kMultiAnsi},
    {kSentUtf8, kSentAnsi},
    {"[멀티메시지] 제목없음.txt",
     "[\xB8\xD6\xC6\xBC\xB8\xDE\xBD\xC3\xC1\xF6] \xC1\xA6\xB8\xF1\xBE\xF8\xC0\xBD.txt"},
    // Hangul found only in the UHC extension rows, not in KS X 1001.
    {"똠햏뷁", "\x8C\x63\xC1\x64\x94\xEE"},
    {"€·", "\xA2\xE6\xA1\xA4"},
    {"a\0b\0"sv, "a\0b\0"sv},
    {"가\0나"sv, "\xB0\xA1\0\xB3\xAA"sv},
};

TEST(Cp949Test, LosslessTextConvertsBothWays) {
  for (const Pair& c : kLossless) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.utf8)));
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi);
    EXPECT_EQ(AnsiToUtf8(c.ansi), c.utf8);
  }
}

TEST(Cp949Test, Utf8ToAnsiReplacesWhatItCannotConvert) {
  const Pair cases[] = {
      // Characters CP949 lacks: one "?" each, the rest kept.
      {"가😀나", "\xB0\xA1?\xB3\xAA"},
      {"😀😀", "??"},
      {"café", "caf?"},
      {"\xEF\xBB\xBFz", "?z"},  // Byte order mark.
      // Stray or impossible bytes.
      {"x\x80y", "x?y"},
      {"\xBF\xBF", "??"},
      {"\xFF\xFE", "??"},
      // Overlong forms, surrogates and code points past U+10FFFF: each byte
      // is its own maximal invalid subpart.
      {"\xC0\x80", "??"},
      {"\xC1\xBF", "??"},
      {"\xE0\x80\xAF", "???"},
      {"\xF0\x80\x80\xAF", "????"},
      {"\xED\xA0\x80", "???"},
      {"\xF4\x90\x80\x80", "????"},
      // A sequence broken off by another character is one "?".
      {"\xEA\xB0z", "?z"},
      {"\xF0\x9F\x98 ", "? "},
      {"\xEA\xB0\xEA\xB0\x80", "?\xB0\xA1"},
      // Cut off at the end.
      {"가\xEA\xB0", "\xB0\xA1?"},
      {"a\xF0\x9F\x98", "a?"},
      {"a\xC3", "a?"},
      {"\xE0\x80", "??"},
  };
  for (const Pair& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.utf8)));
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi);
  }
}

TEST(Cp949Test, AnsiToUtf8ReplacesWhatItCannotDecode) {
  const Pair cases[] = {
      {"x?y", "x\x80y"},
      {"?", "\xFF"},
      // A lone lead byte at the end.
      {"a?", "a\xB0"},
      {"\xEA\xB0\x80?", "\xB0\xA1\xB0"},
      // A lead byte whose next byte is ASCII but no valid trail byte: the
      // ASCII byte survives.
      {"?`b", "\xB0`b"},
      {"?\n", "\xB0\n"},
      {"?\0a"sv, "\xB0\0a"sv},
      // A pair in the unassigned user-defined rows.
      {"?z", "\xC9\xA1z"},
      {"가?", "\xB0\xA1\xFE\xA1"},
  };
  for (const Pair& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.ansi)));
    EXPECT_EQ(AnsiToUtf8(c.ansi), c.utf8);
  }
}

TEST(Cp949Test, CallsDoNotShareState) {
  // A call that ends inside a sequence must not leave it pending for the next.
  EXPECT_EQ(Utf8ToAnsi("a\xEA\xB0"), "a?");
  EXPECT_EQ(Utf8ToAnsi("\xA1"), "?");
  EXPECT_EQ(AnsiToUtf8("a\xB0"), "a?");
  EXPECT_EQ(AnsiToUtf8("\xA1"), "?");
}

TEST(Cp949Test, LargeInput) {
  // Over 1 MiB of mixed text, with unconvertible characters spread through it.
  const std::string_view piece = "총 %d건이\n성공적으로 전송되었습니다 😀 abc\0"sv;
  const std::string ansi_piece = std::string(kSentAnsi) + " ? abc" + '\0';
  const std::string back_piece = std::string(kSentUtf8) + " ? abc" + '\0';
  std::string utf8, ansi, back;
  while (utf8.size() < (1 << 20) + 7) {
    utf8 += piece;
    ansi += ansi_piece;
    back += back_piece;
  }
  utf8 += "\xE3\x81";  // Cut off at the very end.
  ansi += "?";
  back += "?";

  const std::string converted = Utf8ToAnsi(utf8);
  EXPECT_EQ(converted.size(), ansi.size());
  EXPECT_TRUE(converted == ansi);
  const std::string converted_back = AnsiToUtf8(converted);
  EXPECT_EQ(converted_back.size(), back.size());
  EXPECT_TRUE(converted_back == back);
}

TEST(Cp949Test, ThreadsConvertIndependently) {
  std::vector<std::thread> threads;
  std::vector<int> failures(8, 0);
  for (size_t t = 0; t < 8; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        if (Utf8ToAnsi(kSentUtf8) != kSentAnsi) ++failures[t];
        if (AnsiToUtf8(kSentAnsi) != kSentUtf8) ++failures[t];
        if (Utf8ToAnsi("a\xEA\xB0") != "a?") ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t t = 0; t < 8; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace parley
