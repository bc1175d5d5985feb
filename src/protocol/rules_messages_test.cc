#include "protocol/rules_messages.h"

#include <gtest/gtest.h>

#include "protocol/excel_check.h"
#include "protocol/send_requests.h"

namespace parley::protocol {
namespace {

TEST(RulesMessagesTest, RequestsReadTheirFieldsAndBuildBack) {
  EXPECT_EQ(NumberItems("010-1111-2222, 010 3333 4444;;x\r\n\t0212345678,"),
            (std::vector<std::string>{"010-1111-2222", " 010 3333 4444", "x", "0212345678"}));
  EXPECT_TRUE(NumberItems("").empty());
  const NumbersAddRequest add = NumbersAddRequest::Parse("01011112222;01033334444<QX>by phone");
  EXPECT_EQ(add, (NumbersAddRequest{{"01011112222", "01033334444"}, "by phone"}));
  EXPECT_EQ(add.Build(), "01011112222,01033334444<QX>by phone");
  EXPECT_EQ(NumbersRemoveRequest::Parse("a,b").Build(), "a,b");
  EXPECT_EQ(SettingRequest::Parse("own_number<QX>010").Build(), "own_number<QX>010");
  EXPECT_EQ(OptOutCheckRequest::Parse("1<QX>Friends,Work<QX>010"),
            (OptOutCheckRequest{true, "Friends,Work", "010"}));
  EXPECT_FALSE(OptOutCheckRequest::Parse("yes<QX><QX>").advert);
}

TEST(RulesMessagesTest, RepliesRoundTripTheirExactBytes) {
  const NumbersAddReply added{2, 1, {{"a,<b>%", "not-digits"}, {"021", "not-mobile"}}};
  EXPECT_EQ(added.Build(), "2<QX>1<QX>a%2C%3Cb>%25,not-digits<Q>021,not-mobile");
  EXPECT_EQ(NumbersAddReply::Parse(added.Build()), added);
  EXPECT_EQ(NumbersRemoveReply::Parse("1<QX>2"), (NumbersRemoveReply{1, 2}));
  const NumberListReply opt{true, {{"01011112222", 1700000000, "x, y"}}};
  EXPECT_EQ(opt.Build(), "1<QX>01011112222,1700000000,x%2C y");
  EXPECT_EQ(NumberListReply::Parse(opt.Build(), true), opt);
  const NumberListReply cbk{false, {{"021234567", 0, "main"}, {"15881234", 0, ""}}};
  EXPECT_EQ(cbk.Build(), "2<QX>021234567,main<Q>15881234,");
  EXPECT_EQ(NumberListReply::Parse(cbk.Build(), false), cbk);
  EXPECT_EQ(SettingsReply().Build(), "<QX><QX>ad<QX>");
  EXPECT_EQ(SettingsReply::Parse("a<QX>080<QX>all<QX>010"),
            (SettingsReply{"a", "080", "all", "010"}));
  const OptOutCheckReply check{5, 2, {{"01000000001", "Friends"}, {"01000000011", ""}}};
  EXPECT_EQ(check.Build(), "5<QX>2<QX>01000000001,Friends<Q>01000000011,");
  EXPECT_EQ(OptOutCheckReply::Parse(check.Build()), check);
  // Malformed replies (an Exception text, a count that is not the entries') are none.
  for (const char* bad : {"Exception:[x]", "1<QX>", "x<QX>1<QX>", "2<QX>1,main"}) {
    EXPECT_FALSE(NumbersAddReply::Parse(bad).has_value()) << bad;
    EXPECT_FALSE(NumberListReply::Parse(bad, false).has_value()) << bad;
  }
}

TEST(RulesMessagesTest, TitleTagsComeOffTheTitleInAnyOrderAndGoBackInFront) {
  struct Case {
    std::string title;
    TitleTags tags;
    std::string rest;
  };
  const Case cases[] = {
      {"<AD>Sale", {true, false}, "Sale"},
      {"<NIGHT><AD>Sale", {true, true}, "Sale"},
      {"<AD><AD>Sale", {true, false}, "<AD>Sale"},
      {"Sale <AD>", {false, false}, "Sale <AD>"},
      {"", {false, false}, ""},
  };
  for (const Case& c : cases) {
    std::string title = c.title;
    EXPECT_EQ(TakeTitleTags(&title), c.tags) << c.title;
    EXPECT_EQ(title, c.rest) << c.title;
  }
  const DirectSendRequest direct =
      DirectSendRequest::Parse("1<QX>1<QX><NIGHT><AD>T<QX><QX>010<QX>02<QX>x");
  EXPECT_EQ(direct.title, "T");
  EXPECT_EQ(direct.tags, (TitleTags{true, true}));
  EXPECT_EQ(direct.Build(), "1<QX>1<QX><AD><NIGHT>T<QX><QX>010<QX>02<QX>x");
  const ExcelSendRequest sheet =
      ExcelSendRequest::Parse("1<QX>1<QX><AD><QX><QX>s$<QX><ONCE>p<QX>02<QX>x<QX>11");
  EXPECT_TRUE(sheet.tags.advert && sheet.once && sheet.title.empty());
  EXPECT_EQ(sheet.Build(), "1<QX>1<QX><AD><QX><QX>s$<QX><ONCE>p<QX>02<QX>x<QX>11");
}

TEST(RulesMessagesTest, TheWorkbookCheckCarriesTheOptOutFieldsOnlyWhenAsked) {
  ExcelCheckReply check;
  check.kind = "SMS";
  const std::string old = check.Build();
  EXPECT_EQ(ExcelCheckReply::Parse(old), check);
  check.with_opt_out = true;
  check.opted_out = 2;
  check.opted_out_rows = {{3, "01011112222"}, {9, "01033334444"}};
  EXPECT_EQ(check.Build(), old + "<QX>2<QX>3,01011112222<Q>9,01033334444");
  EXPECT_EQ(ExcelCheckReply::Parse(check.Build()), check);
  EXPECT_FALSE(ExcelCheckReply::Parse(old + "<QX>2").has_value());
}

}  // namespace
}  // namespace parley::protocol
