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
      {"+", "%2B"},
      {"a b+c?/#", "a b%2Bc?/#"},
      {"a b;c?/#<>'\"\r\n", "a b;c?/#<>'\"\r\n"},
      {HELLO " = 1", HELLO " %3D 1"},
      // No CP949 trail byte is one of the four, so a lead byte does not shield what follows it.
      {"\xB0%\xB0&\xB0=\xB0+", "\xB0%25\xB0%26\xB0%3D\xB0%2B"},
  };
  ExpectAll(EncodeFormValue, std::begin(cases), std::end(cases));
}

// The forms the engine posts, with values that would add or change a field if they went in as
// they are, and with plain values that go in byte for byte.
TEST(TextCodesTest, FormBodyKeepsEveryValueInItsField) {
  struct FormCase {
    std::string_view name;
    std::string body, expected;
  };
  const FormCase cases[] = {
      {"plain login",
       FormBody({{"loginid", "qxuser"}, {"loginpass", "qxpass"}, {"lmode", "QX"}, {"Ver", "1.0"}}),
       "loginid=qxuser&loginpass=qxpass&lmode=QX&Ver=1.0"},
      {"password with form syntax",
       FormBody({{"loginid", "qxuser"}, {"loginpass", "p&a=s+s%"}, {"lmode", "QX"}}),
       "loginid=qxuser&loginpass=p%26a%3Ds%2Bs%25&lmode=QX"},
      {"plain send check", FormBody({{"type", "SMS"}, {"totcnt", "5"}, {"reserdate", ""}}),
       "type=SMS&totcnt=5&reserdate="},
      {"send check with a forged count",
       FormBody({{"type", "SMS"}, {"totcnt", "5"}, {"reserdate", "&totcnt=0"}}),
       "type=SMS&totcnt=5&reserdate=%26totcnt%3D0"},
      {"plain report",
       FormBody({{"jobid", "J1"},
                 {"type", "SMS"},
                 {"totcnt", "3"},
                 {"title", HELLO},
                 {"msg", "hi there"},
                 {"fromnumber", "021234"}}),
       "jobid=J1&type=SMS&totcnt=3&title=" HELLO "&msg=hi there&fromnumber=021234"},
      {"report with a forged job id and call-back",
       FormBody({{"jobid", "X&totcnt=0&type=MMS&jobid=Y"},
                 {"totcnt", "3"},
                 {"fromnumber", "02&totcnt=0"}}),
       "jobid=X%26totcnt%3D0%26type%3DMMS%26jobid%3DY&totcnt=3&fromnumber=02%26totcnt%3D0"},
      {"empty value", FormBody({{"msg", ""}}), "msg="},
      {"no fields", FormBody({}), ""},
  };
  for (const FormCase& c : cases) {
    EXPECT_EQ(c.body, c.expected) << c.name;
  }
}

}  // namespace
}  // namespace parley
