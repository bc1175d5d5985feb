#include "web/stat_calls.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

constexpr char kBase[] = "http://www.example.com";

TEST(StatRequest, BuildExactUrls) {
  // selector, start, end, message type, result code, page, page size, number flag, phone
  const std::string body = "1<QX>20240101<QX>20240131<QX>SMS<QX>NULL<QX>2<QX>10<QX>1<QX>0101234";
  StatRequest r;

  r.GetSendResultCNT(kBase, "20240101", "20240131");
  EXPECT_EQ(r.target.port, 80);
  EXPECT_EQ(r.target.object, "/Ajax/GetSendResultCNT.asp?sdate=20240101&edate=20240131");

  r.GetSendStatCNT(kBase, "20240101", "20240131", body);
  EXPECT_EQ(r.target.port, 443);
  EXPECT_EQ(r.target.object,
            "/Ajax/GetSendStatCNT.asp?sdate=20240101&edate=20240131&msgtype=SMS&account=&"
            "rsltcode=&numflag=1&phone=0101234");

  r.GetSendStat(kBase, "20240101", "20240131", body);
  EXPECT_EQ(r.target.port, 80);
  EXPECT_EQ(r.target.object,
            "/Ajax/GetSendStat.asp?sdate=20240101&edate=20240131&msgtype=SMS&account=&"
            "rsltcode=&numflag=1&phone=0101234&pg=2&ps=10");
  EXPECT_EQ(r.page_size, "10");

  // "NULL" is sent empty, "null" as it is; missing fields are empty; backticks separate too.
  r.GetSendStat(kBase, "a", "b", "3`a`b`NULL`null");
  EXPECT_EQ(r.target.object,
            "/Ajax/GetSendStat.asp?sdate=a&edate=b&msgtype=&account=&rsltcode=null&numflag=&"
            "phone=&pg=&ps=");
  EXPECT_EQ(r.page_size, "");

  r.GetDailyStat(kBase, "2024<QX>01<QX>2024<QX>06");
  EXPECT_EQ(r.target.server, "www.example.com");
  EXPECT_EQ(r.target.port, 443);
  EXPECT_EQ(r.target.object, "/Ajax/GetDailyStat.asp?syy=2024&smm=01&eyy=2024&emm=06");
}

TEST(NullToEmpty, OnlyTheExactWord) {
  EXPECT_EQ(NullToEmpty("NULL"), "");
  EXPECT_EQ(NullToEmpty("null"), "null");
  EXPECT_EQ(NullToEmpty("NULL "), "NULL ");
  EXPECT_EQ(NullToEmpty(""), "");
  EXPECT_EQ(NullToEmpty("SMS"), "SMS");
}

TEST(FormatResultCount, CountLines) {
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
  };
  for (const Case& c : cases) EXPECT_EQ(FormatResultCount(c.reply, c.n), c.line) << c.reply;
}

TEST(FormatStatRow, KeepsSevenColumns) {
  std::string row;
  for (int i = 0; i < 16; ++i) row += (i ? "<COL>c" : "c") + std::to_string(i);
  EXPECT_EQ(FormatStatRow(row), "c0<QX>c3<QX>c4<QX>c5<QX>c6<QX>c12<QX>c13<END>");
  EXPECT_EQ(FormatStatRow("a<COL>b<COL>c<COL>d<COL>e"), "a<QX>d<QX>e<QX><QX><QX><QX><END>");
  EXPECT_EQ(FormatStatRow(""), "<QX><QX><QX><QX><QX><QX><END>");
}

TEST(FormatSendStatRows, CutAtPageSizeAndEmptyRow) {
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
  for (const Case& c : cases) {
    StatRequest r;
    r.page_size = c.page_size;
    EXPECT_EQ(FormatSendStatRows(r, reply), c.list) << c.page_size;
  }
  StatRequest r;
  r.page_size = "10";
  EXPECT_EQ(FormatSendStatRows(r, ""), "");
}

}  // namespace
}  // namespace parley
