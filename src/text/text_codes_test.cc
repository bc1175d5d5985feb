#include "text/text_codes.h"

#include <iterator>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace parley {
namespace {

struct Case {
  std::string_view text, expected;
};

void ExpectAll(std::string (*fn)(std::string_view), const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    SCOPED_TRACE(testing::PrintToString(std::string(c->text)));
    EXPECT_EQ(fn(c->text), c->expected);
  }
}

#define HELLO "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4"  // 안녕하세요

TEST(TextCodesTest, DecodeUiText) {
  const Case cases[] = {
      {"", ""},
      {"&lt;b&gt;", "<b>"},
      {"a&gacct;b", "a`b"},
      {"&gacct;&lt;&gt;", "`<>"},
      {"&lt;&lt;", "<<"},
      // No other codes: "&amp;" stays, and so does what follows it.
      {"&amp;lt;", "&amp;lt;"},
      {"&amp;", "&amp;"},
      {"&&lt;", "&<"},
      {"&lt;gt;", "<gt;"},
      {"&lt", "&lt"},
      {"&LT;", "&LT;"},
      {"&gacct", "&gacct"},
      {"a & b", "a & b"},
      {HELLO "&gacct;" HELLO, HELLO "`" HELLO},
      // The "&" is the second byte of a character.
      {"\xB0&lt;", "\xB0&lt;"},
  };
  ExpectAll(DecodeUiText, std::begin(cases), std::end(cases));
}

TEST(TextCodesTest, EncodeCellText) {
  const Case cases[] = {
      {"", ""},
      {"a,b", "a&comma;b"},
      {",,", "&comma;&comma;"},
      {"<b>", "&lt;b&gt;"},
      {"1,<2>", "1&comma;&lt;2&gt;"},
      // "&" is not escaped, so existing codes pass through as they are.
      {"&comma;&lt;", "&comma;&lt;"},
      {HELLO ", " HELLO, HELLO "&comma; " HELLO},
      {"\xB0,\xB0<", "\xB0,\xB0<"},
  };
  ExpectAll(EncodeCellText, std::begin(cases), std::end(cases));
}

TEST(TextCodesTest, DecodeCellText) {
  const Case cases[] = {
      {"", ""},
      {"a&comma;b", "a,b"},
      {"&comma;&comma;", ",,"},
      {"&comma&comma;", "&comma,"},
      {"&gt;&lt;", "&gt;&lt;"},
      {"\xB0&comma;", "\xB0&comma;"},
  };
  ExpectAll(DecodeCellText, std::begin(cases), std::end(cases));

  for (std::string_view text : {"a,b,,c", ",", HELLO "," HELLO}) {
    EXPECT_EQ(DecodeCellText(EncodeCellText(text)), text);
  }
}

TEST(TextCodesTest, EncodeFormValue) {
  const Case cases[] = {
      {"", ""},
      {"%", "%25"},
      {"&", "%26"},
      {"=", "%3D"},
      {"a&b=c%", "a%26b%3Dc%25"},
      {"100%&", "100%25%26"},
      // Already encoded input is encoded again, exactly once.
      {"%26", "%2526"},
      {"%3D%25", "%253D%2525"},
      {"a b+c?/#", "a b+c?/#"},
      {HELLO " = 1", HELLO " %3D 1"},
      {"\xB0%\xB0&\xB0=", "\xB0%\xB0&\xB0="},
  };
  ExpectAll(EncodeFormValue, std::begin(cases), std::end(cases));
}

}  // namespace
}  // namespace parley
