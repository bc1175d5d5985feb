// Every reply builder against the exact bytes the UI program reads (the protocol page's examples
// and the engine tests' replies).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/markup.h"
#include "protocol/replies.h"
#include "protocol/send_requests.h"
#include "protocol/status_messages.h"

namespace parley::protocol {
namespace {

const AccountFigures kFigures{"qxuser\xB4\xD4", "G", "125000.", "10000", "3333", "1000"};
const std::string kInfo = "<QX>qxuser\xB4\xD4<QX>G<QX>125000.<QX>10000<QX>3333<QX>1000";

TEST(ReplyTest, BuildsEachReply) {
  struct Case {
    std::string built;
    std::string bytes;
  };
  const std::string nul(1, '\0');
  const Case cases[] = {
      {UserInfoText(kFigures), kInfo},
      {UserInfoText({}), "<QX><QX><QX><QX><QX><QX>"},
      {SavedIdReply(""), "1<QX>"},
      {SavedIdReply("NULL"), "1<QX>"},
      {SavedIdReply("qxuser"), "1<QX>qxuser<QX>"},
      {LoginAcceptedReply(kFigures, "/srv/parley/"), "2<QX>1" + kInfo + "<QX>/srv/parley/<QX>"},
      {LoginRefusedReply('0', "/h/"), "2<QX>0<QX><QX>/h/<QX>"},
      {LoginRefusedReply('\0', "/h/"), "2<QX>" + nul + "<QX><QX>/h/<QX>"},
      {SendCheckReply("1<QX>SMS\n", {"2", "1", ""}, kFigures),
       "QXSENDABLECHECK<QX>1<QX>SMS\n<QX>1<QX>2" + kInfo},
      {SendReply("", kFigures), kInfo},
      {SendReply("ok", kFigures), "ok" + kInfo},
      {ExcelReply(ExcelQuery::kListing, "S<QX>"), "1<QX>S<QX>"},
      {ExcelReply(ExcelQuery::kCount, "300"), "2<QX>300"},
      {ExcelReply(ExcelQuery::kPreview, ExceptionText("no such column: x")),
       "3<QX>Exception:[no such column: x]"},
      {GroupListReply({}), "2<QX><QX>"},
      {GroupListReply({{"Friends", "3", "1", "7"}, {"O'Neil", "1", "2", "11"}}),
       "2<QX><GROUP>Friends::3::1::7<GROUP>O'Neil::1::2::11<QX>"},
      {AddressListReply({}), "3<QX>"},
      {AddressListReply({{"n", "010"}, {"m", "011"}}), "3<QX><ADDR>n 010<ADDR>m 011"},
      {RecentNumbersReply({}), "4<QX>"},
      {RecentNumbersReply({"010", "011"}), "4<QX>010,011,"},
      {SavedCountsReply("12", "3", "p"), "CNT<QX>12<QX>3<QX>p"},
      {SavedPageReply("LMS", ""), "LMS<QX>"},
      {SaveMessageReply("ok"), "SAVE<QX>ok"},
      {CatalogueFirstReply("c", "23", "p"), "<FIRST>c<QX>23<QX>p"},
      {CataloguePageReply("8", "p"), "8<QX>p"},
      {CataloguePageReply("", ""), "<QX>"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.built, c.bytes);
}

TEST(ReplyTest, GroupListParsesBack) {
  const std::vector<AddressGroup> groups = {{"Friends", "3", "1", "7"}, {"a:b", "0", "", ""}};
  const std::vector<AddressGroup> parsed = ParseGroupList(GroupListReply(groups));
  ASSERT_EQ(parsed.size(), 2u);
  EXPECT_EQ(parsed[0].name, "Friends");
  EXPECT_EQ(parsed[0].count, "3");
  EXPECT_EQ(parsed[0].key, "7");
  EXPECT_EQ(parsed[1].name, "a:b");
  EXPECT_EQ(parsed[1].count, "0");
  EXPECT_TRUE(ParseGroupList("2<QX><QX>").empty());
  // An entry without "::" is skipped.
  EXPECT_EQ(ParseGroupList("2<QX><GROUP>x<GROUP>y::1<QX>").size(), 1u);
}

TEST(ReplyTest, SendResults) {
  struct Case {
    int selector;
    std::vector<std::string> totals;
    std::string line;
  };
  const Case cases[] = {
      {1, {"66", "62", "3", "1"}, "1<QX>66,62,3,1<DATA>"},
      {1, {"66", "62", "3", "1", "9"}, "1<QX>66,62,3,1<DATA>"},
      {1, {"66", "62"}, "1<QX>66,62,,<DATA>"},
      // One value (the service answered no columns): its place depends on the selector.
      {3, {"23"}, "3<QX>23,0,0,23<DATA>"},
      {1, {"23"}, "1<QX>0,0,0,23<DATA>"},
      {3, {""}, "3<QX>,0,0,<DATA>"},
  };
  for (const Case& c : cases) EXPECT_EQ(ResultTotalsLine(c.selector, c.totals), c.line);
  const std::vector<SentJob> jobs = {{"23", "2024-03-23 13:34:00", "LMS", "021", "T", "ok", "3"},
                                     {"22", "", "", "", "", "", ""}};
  const std::string rows =
      "23<QX>2024-03-23 13:34:00<QX>LMS<QX>021<QX>T<QX>ok<QX>3<END>"
      "22<QX><QX><QX><QX><QX><QX><END>";
  EXPECT_EQ(SendResultsReply(1, "1<QX>0,0,0,<DATA>", jobs), "1<QX>0,0,0,<DATA>" + rows);
  EXPECT_EQ(SendResultsReply(2, "ignored", jobs), "2<DATA>" + rows);
  EXPECT_EQ(SendResultsReply(3, "3<QX>,0,0,<DATA>", {}), "3<QX>,0,0,<DATA>");
}

TEST(ReplyTest, ExceptionText) {
  EXPECT_EQ(ExceptionText("query stopped: x"), "Exception:[query stopped: x]");
  EXPECT_TRUE(IsExceptionText("Exception:[]"));
  EXPECT_FALSE(IsExceptionText("3<QX>Exception:[x]"));
  EXPECT_EQ(JoinFields({"a", "", "b"}), "a<QX><QX>b");
  EXPECT_EQ(JoinFields({}), "");
}

TEST(ReplyTest, StateBuildsAndParsesBack) {
  struct Case {
    StateReply reply;
    std::string bytes;
  };
  const Case cases[] = {
      // Before any job: no login, the job's fields empty and 0.
      {{"Parley, Version 1.0", "/srv/p/", "/srv/p/QXBOOK.mdb", false, "", 0, "", "", "", 0, 0, 0,
        "", ""},
       "Parley, Version "
       "1.0<QX>/srv/p/<QX>/srv/p/QXBOOK.mdb<QX>0<QX><QX>0<QX><QX><QX><QX>0<QX>0<QX>0"
       "<QX><QX>"},
      // A running job; a backtick in a path is an ordinary byte here.
      {{"v", "/a`b/", "/a`b/QXBOOK.mdb", true, "qxuser", 3, "DSEND", "LMS", "running", 300, 120,
        101, "J000000042", "2 jobs were interrupted"},
       "v<QX>/a`b/<QX>/a`b/QXBOOK.mdb<QX>1<QX>qxuser<QX>3<QX>DSEND<QX>LMS<QX>running<QX>300<QX>120"
       "<QX>101<QX>J000000042<QX>2 jobs were interrupted"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.reply.Build(), c.bytes);
    EXPECT_EQ(StateReply::Parse(c.bytes), c.reply) << c.bytes;
  }
  // Thirteen fields (an engine before the journal) read without a notice; twelve or fifteen, or
  // an empty "INIT" body: no reply.
  const std::string twelve = "v<QX>h<QX>b<QX>0<QX><QX>0<QX><QX><QX><QX>0<QX>0<QX>0";
  EXPECT_FALSE(StateReply::Parse(twelve).has_value());
  EXPECT_EQ(StateReply::Parse(twelve + "<QX>J1")->job_id, "J1");
  EXPECT_FALSE(StateReply::Parse(twelve + "<QX><QX><QX>").has_value());
  EXPECT_FALSE(StateReply::Parse("").has_value());
  // A count that is not a whole decimal reads as 0.
  EXPECT_EQ(StateReply::Parse(twelve.substr(0, twelve.size() - 1) + "7x<QX>")->acknowledged, 0);
}

TEST(ReplyTest, CancelBuildsAndParsesBack) {
  EXPECT_EQ(CancelReply{true}.Build(), "1");
  EXPECT_EQ(CancelReply{false}.Build(), "0");
  EXPECT_EQ(CancelReply::Parse("1"), CancelReply{true});
  EXPECT_EQ(CancelReply::Parse("0"), CancelReply{false});
  for (std::string_view odd : {"", "10", "1<QX>", "x"}) {
    EXPECT_FALSE(CancelReply::Parse(odd).has_value()) << odd;
  }
  // Neither request has fields; any body parses.
  EXPECT_EQ(StateRequest{}.Build(), "");
  EXPECT_EQ(CancelRequest::Parse("ignored<QX>x"), CancelRequest{});
}

TEST(ReplyTest, JobRowsKeepEveryTextWhole) {
  JobRow row{7,
             100,
             160,
             "JOBRS",
             "SMS",
             "a<QX>b<Q>c%3C",
             "rest of job 3",
             "02-1",
             "",
             "x<y z>%25",
             "J42",
             300,
             51,
             49,
             200,
             "closed",
             100,
             "pending",
             3,
             0};
  JobRow other = row;
  other.id = 8;
  other.title = "";
  other.text = "";
  const JobListReply list{{row, other}};
  EXPECT_EQ(JobListReply::Parse(list.Build()), list);
  EXPECT_EQ(JobListReply::Parse(""), JobListReply{});
  // A row of another field count is no reply.
  EXPECT_FALSE(JobListReply::Parse("1<QX>2").has_value());
  EXPECT_EQ(UnescapeField("100%"), "100%");  // a lone "%" stays

  const JobResendRequest resend{12, true};
  EXPECT_EQ(resend.Build(), "12<QX>1");
  EXPECT_EQ(JobResendRequest::Parse(resend.Build()), resend);
  EXPECT_EQ(JobResendRequest::Parse("12"), (JobResendRequest{12, false}));
  const JobResendReply answer{13, "a<QX>b"};
  EXPECT_EQ(JobResendReply::Parse(answer.Build()), answer);
  EXPECT_FALSE(JobResendReply::Parse("Exception:[x]").has_value());
  EXPECT_EQ(JobExportRequest::Parse("5<QX>/tmp/a.csv"), (JobExportRequest{5, "/tmp/a.csv", "csv"}));
  EXPECT_EQ(JobExportRequest::Parse("5<QX>/t.xlsx<QX>xlsx").format, "xlsx");
  EXPECT_FALSE(JobExportRequest::Parse("5<QX>/t.xlsx<QX>xlsx").replace);
  const JobExportRequest replace{5, "/tmp/é😀.csv", "csv", true};
  EXPECT_EQ(JobExportRequest::Parse(replace.Build()), replace);
  for (const JobForgetReply reply : {JobForgetReply{3, 0}, JobForgetReply{0, 2}}) {
    EXPECT_EQ(JobForgetReply::Parse(reply.Build()), reply);
  }
  EXPECT_EQ((JobForgetReply{3, 0}.Build()), "3");  // as an older front end reads it
  EXPECT_FALSE(JobForgetReply::Parse("Exception:[x]"));
}
}  // namespace
}  // namespace parley::protocol
