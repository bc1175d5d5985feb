// The request bodies qx builds and the tables it prints, without an engine.
#include <sstream>

#include <gtest/gtest.h>

#include "qx/check_command.h"
#include "qx/excel_command.h"
#include "qx/login_command.h"
#include "qx/reply_text.h"
#include "qx/results_command.h"
#include "qx/text_table.h"

namespace parley {
namespace {

TEST(TextTableTest, WidthsCountKoreanTwiceAndNumbersAlignRight) {
  EXPECT_EQ(DisplayWidth("abc"), 3u);
  EXPECT_EQ(DisplayWidth("김민준"), 6u);
  EXPECT_EQ(DisplayWidth("a\xFF"), 2u);  // a stray byte counts one column
  EXPECT_EQ(Ellipsize("김민준입니다", 9), "김민준...");
  EXPECT_EQ(Ellipsize("김민준입니다", 8), "김민...");
  EXPECT_EQ(Ellipsize("short", 9), "short");

  TextTable table({"Name", "Count"});
  table.AddRow({"김민준", "7"});
  table.AddRow({"Lee", "120", "dropped"});
  std::ostringstream out;
  table.Print(out);
  EXPECT_EQ(out.str(),
            "Name    Count\n"
            "------  -----\n"
            "김민준      7\n"
            "Lee       120\n");
}

TEST(ReplyTextTest, FieldsAndAccountFigures) {
  EXPECT_EQ(SplitOn("a<QX><QX>b", "<QX>"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitOn("", "<QX>"), (std::vector<std::string>{""}));
  EXPECT_EQ(ScreenText("a&comma;b&lt;c&gt;&gacct;\r\nd"), "a,b<c>` d");

  AccountInfo info;
  EXPECT_FALSE(ParseAccountTail("<QX>1<QX>2", &info));
  ASSERT_TRUE(ParseAccountTail("text<QX>qx\xB4\xD4<QX>G<QX>12.<QX>5<QX>4<QX>3", &info));
  EXPECT_EQ(info.name, "qx님");
  EXPECT_EQ(info.mms_left, "3");
}

TEST(RequestFormatTest, Bodies) {
  LoginOptions login{"qxuser", "pw", true, false};
  EXPECT_EQ(LoginBody(login), "qxuser<QX>pw<QX>SAVE");
  EXPECT_EQ(KindCode("MMS"), "3");
  EXPECT_EQ(KindCode("fax"), "");

  ResultsOptions results;
  results.from = "2024-03-01";
  results.kind = "SMS";
  results.phone = "021";
  EXPECT_EQ(ResultsBody(results), "1<QX>2024-03-01<QX><QX>SMS<QX><QX>1<QX>20<QX><QX>021");

  struct StatsCase {
    std::string from, to;
    bool ok;
    std::string body;
  };
  const StatsCase stats_cases[] = {
      {"2024-03", "202412", true, "2024<QX>3<QX>2024<QX>12"},
      {"", "", true, "<QX><QX><QX>"},
      {"2024-13", "", false, ""},
      {"March", "", false, ""},
  };
  for (const StatsCase& c : stats_cases) {
    std::string body;
    EXPECT_EQ(StatsBody({c.from, c.to}, &body), c.ok) << c.from;
    if (c.ok) {
      EXPECT_EQ(body, c.body);
    }
  }
}

}  // namespace
}  // namespace parley
