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

}  // namespace
}  // namespace parley
