// The data taken from the web service's replies, checked through the UI-link texts it becomes.
#include "web/reply_data.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

TEST(LoginCode, FirstCharacter) {
  EXPECT_EQ(LoginCode("1<COL>welcome"), '1');
  EXPECT_EQ(LoginCode("0"), '0');
  EXPECT_EQ(LoginCode(" 1"), ' ');
  EXPECT_EQ(LoginCode(""), '\0');
}

// A user information reply: fields 0 to 10 split by "<COL>", the amount in field 4, field 6 the
// unit that can make it unlimited, and the tagged counts after them.
std::string UserInfoReply(const std::string& amount, const std::string& unit,
                          const std::string& tags) {
  return "f0<COL>f1<COL>f2<COL>f3<COL>" + amount + "<COL>NAME<COL>" + unit +
         "<COL>f7<COL>f8<COL>f9<COL>GRADE<COL>" + tags;
}

std::string UserInfo(std::string_view reply) {
  return protocol::UserInfoText(ParseUserInfo(reply));
}

TEST(ParseUserInfo, AmountRules) {
  struct Case {
    const char* amount;
    const char* unit;
    const char* shown;
  };
  const Case cases[] = {
      {"12345.67", "0", "9999999999"},  // field 6 "0": unlimited, whatever the amount
      {"", "0", "9999999999"},
      {"12345.6", "1", "12345.6"},  // one decimal digit: unchanged
      {"12345.67", "1", "12345."},  // two: the "." stays, the digits go
      {"12.345", "1", "12."},
      {".67", "1", ".67"},  // a "." at the start: unchanged
      {"12345", "1", "12345"},
      {"1.2.34", "1", "1."},  // the first "." counts
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UserInfo(UserInfoReply(c.amount, c.unit, "SMS:1,TXT:2,IMT:3,")),
              std::string("<QX>NAME<QX>GRADE<QX>") + c.shown + "<QX>1<QX>2<QX>3")
        << c.amount << " " << c.unit;
  }
}

TEST(ParseUserInfo, TaggedCounts) {
  struct Case {
    const char* tags;
    const char* counts;  // SMS, TXT and IMT, each after "<QX>"
  };
  const Case cases[] = {
      {"SMS:100,TXT:20,IMT:3,", "<QX>100<QX>20<QX>3"},
      {"SMS:100,TXT:20,IMT:3", "<QX>100<QX>20<QX>"},  // no "," after the last: empty
      {"SMS:,TXT:20,IMT:3,", "<QX><QX>20<QX>3"},
      {"", "<QX>0<QX>0<QX>0"},                  // no tags: zeros
      {"SMS:100,IMT:3,", "<QX>100<QX>0<QX>3"},  // TXT missing
      // TXT missing: IMT is looked for from the first "," at or after position 3, which here
      // stands before it, not from the "," after the SMS value.
      {"X,IMT:3,SMS:100,", "<QX>100<QX>0<QX>3"},
      // SMS without a "," after it: TXT is not looked for at all.
      {"TXT:20,SMS:100", "<QX><QX>0<QX>0"},
      {"IMT:3,TXT:20,SMS:100,", "<QX>100<QX>0<QX>0"},  // each tag is looked for after the last
      // The 'S' of "SMS:" as the second byte of a two-byte character is not a tag.
      {"\xB1SMS:9,SMS:100,TXT:20,IMT:3,", "<QX>100<QX>20<QX>3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UserInfo(UserInfoReply("500", "1", c.tags)),
              std::string("<QX>NAME<QX>GRADE<QX>500") + c.counts)
        << c.tags;
  }
  EXPECT_EQ(UserInfo(""), "<QX><QX><QX><QX>0<QX>0<QX>0");
}

TEST(ExtractQuotedText, BetweenTheFirstTwoApostrophes) {
  const std::pair<const char*, const char*> cases[] = {
      {"alert('saved');", "saved"},
      {"'a''b'", "a"},
      {"''", ""},
      {"no quote", ""},
      {"one ' only", ""},
      {"", ""},
      {"x'\xB0\xA1\xB3\xAA'y", "\xB0\xA1\xB3\xAA"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ExtractQuotedText(in), out) << in;
}

TEST(NullToEmpty, OnlyTheExactWord) {
  EXPECT_EQ(NullToEmpty("NULL"), "");
  EXPECT_EQ(NullToEmpty("null"), "null");
  EXPECT_EQ(NullToEmpty("NULL "), "NULL ");
  EXPECT_EQ(NullToEmpty(""), "");
  EXPECT_EQ(NullToEmpty("SMS"), "SMS");
}

TEST(ParseTotals, CountLines) {
  struct Case {
    const char* reply;
    int n;
    const char* line;
  };
  const Case cases[] = {
      {"42", 1, "1<QX>0,0,0,42<DATA>"},
      {"42", 3, "3<QX>42,0,0,42<DATA>"},  // n = 3 repeats the one value
      {"", 1, "1<QX>0,0,0,<DATA>"},
      {"", 3, "3<QX>,0,0,<DATA>"},
      {"1<COL>2<COL>3<COL>4", 4, "4<QX>1,2,3,4<DATA>"},
      {"1<COL>2<COL>3<COL>4<COL>5<COL>6", 0, "0<QX>1,2,3,4<DATA>"},  // only the first four
      {"1<COL>2", 3, "3<QX>1,2,,<DATA>"},
      {"<COL>", -1, "-1<QX>,,,<DATA>"},
      // One column ending in "<COL>" is two values, not the one-value form.
      {"42<COL>", 3, "3<QX>42,,,<DATA>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(protocol::ResultTotalsLine(c.n, ParseTotals(c.reply)), c.line) << c.reply;
  }
}

std::string Rows(std::string_view reply, std::string_view page_size) {
  return protocol::SendResultsReply(1, "", ParseSentJobs(reply, page_size));
}

TEST(ParseSentJobs, KeepsSevenColumns) {
  std::string row;
  for (int i = 0; i < 16; ++i) row += (i ? "<COL>c" : "c") + std::to_string(i);
  EXPECT_EQ(Rows(row, "1"), "c0<QX>c3<QX>c4<QX>c5<QX>c6<QX>c12<QX>c13<END>");
  EXPECT_EQ(Rows("a<COL>b<COL>c<COL>d<COL>e", "1"), "a<QX>d<QX>e<QX><QX><QX><QX><END>");
}

TEST(ParseSentJobs, CutAtPageSizeAndEmptyRow) {
  const std::string reply = "a<COL>1<COL>2<COL>b<BR>c<COL>1<COL>2<COL>d<BR><BR>e";
  const std::string row_a = "a<QX>b<QX><QX><QX><QX><QX><END>";
  const std::string row_c = "c<QX>d<QX><QX><QX><QX><QX><END>";
  struct Case {
    const char* page_size;
    std::string list;
  };
  const Case cases[] = {
      {"10", row_a + row_c},  // stops at the empty row although a row follows it
      {"1", row_a},          {"0", ""}, {"", ""}, {"x", ""}, {"-5", ""}, {"2abc", row_a + row_c},
  };
  for (const Case& c : cases) EXPECT_EQ(Rows(reply, c.page_size), c.list) << c.page_size;
  EXPECT_EQ(Rows("", "10"), "");
}

}  // namespace
}  // namespace parley
