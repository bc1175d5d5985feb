#include "client/engine_refusal.h"

#include <gtest/gtest.h>

#include "client/send_check.h"
#include "text/cp949.h"

namespace parley {
namespace {

// The engine's own words never reach a person: each known refusal is a verdict with its values.
TEST(EngineRefusalTest, KnownRefusalsBecomeVerdicts) {
  struct Case {
    const char* engine;  // UTF-8; sent as CP949
    Msg code;
    std::vector<std::string> values;
  } cases[] = {
      {"Exception:[no such table: 명단$]", Msg::kEngineNoSheet, {"명단"}},
      {"Exception:[no such table: 'Sheet 1$']", Msg::kEngineNoSheet, {"Sheet 1"}},
      {"Exception:[no such column: 전화]", Msg::kEngineNoColumn, {"전화"}},
      {"Exception:[cannot open /tmp/a.xlsx: No such file or directory]",
       Msg::kEngineFileUnreadable,
       {"/tmp/a.xlsx", "No such file or directory"}},
      {"Exception:[the workbook is over its load limit: more than 256 MiB of cells stored]",
       Msg::kEngineWorkbookTooLarge,
       {"256 MiB of cells stored"}},
      {"Exception:[not a workbook (.xlsx, .xls, .ods or .csv)]", Msg::kEngineNotWorkbook, {}},
      {"Exception:[no job 7 in the send journal]", Msg::kEngineNoJob, {"7"}},
      {"Exception:[the rest of job 3 was sent as job 5; send the rest of that job]",
       Msg::kJobAlreadyResent,
       {"3", "5"}},
      {"Exception:[not logged in]", Msg::kNotLoggedIn, {}},
      {"Exception:[the address book cannot be written]", Msg::kEngineBookNotWritten, {}},
      {"Exception:[unknown setting colour (business_name, optout_number, optout_applies, "
       "own_number)]",
       Msg::kSettingUnknown,
       {"colour"}},
      {"Exception:[optout_applies is ad or all]", Msg::kSettingAppliesValue, {}},
      {"Exception:[optout_number must be an 080 number]", Msg::kSettingOptOutNumber, {}},
      {"Exception:[다시 보낼 수신번호가 없습니다]",
       Msg::kEngineRefusedOther,
       {"다시 보낼 수신번호가 없습니다"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.engine);
    const Verdict v = EngineRefusalVerdict(Utf8ToAnsi(c.engine));
    EXPECT_EQ(v.code, c.code);
    EXPECT_EQ(v.values, c.values);
  }
}

// The service's check: its figures and its line for the user, and what an answer without them
// means.
TEST(SendCheckTest, TheServicesAnswerIsReadIntoValues) {
  const std::string account = "<QX>qxuser님<QX>일반회원<QX>125000.<QX>10000<QX>3333<QX>1000";
  SendCheckAnswer a;
  ASSERT_TRUE(ParseSendCheckReply(
      Utf8ToAnsi("QXSENDABLECHECK<QX>1<QX>SMS<QX>2<QX>10000<QX>즉시\n발송 가능합니다.<QX>1<QX>2" +
                 account),
      &a));
  EXPECT_TRUE(a.passed);
  EXPECT_EQ(Word(Language::kEnglish, SendCheckVerdict(a)),
            "the service allows the send: SMS 2 message(s) (the balance allows 10,000)");
  ASSERT_TRUE(ParseSendCheckReply(
      Utf8ToAnsi("QXSENDABLECHECK<QX>0<QX>LMS<QX>50000<QX>4166<QX>즉시\n잔액이 부족합니다.<QX>2<QX>"
                 "50000" +
                 account),
      &a));
  EXPECT_FALSE(a.passed);
  EXPECT_EQ(Word(Language::kKorean, SendCheckVerdict(a)),
            "발송할 수 없습니다: 잔액이 부족합니다. (LMS 50,000건 요청, 잔액으로 보낼 수 있는 건수 "
            "4,166건)");
  // A logged-out engine asks nothing: no text, no account.
  ASSERT_TRUE(ParseSendCheckReply("QXSENDABLECHECK<QX><QX>1<QX>2<QX><QX><QX><QX><QX><QX>", &a));
  EXPECT_EQ(SendCheckVerdict(a).code, Msg::kNotLoggedIn);
  EXPECT_FALSE(ParseSendCheckReply("CNT<QX>1", &a));
}

}  // namespace
}  // namespace parley
