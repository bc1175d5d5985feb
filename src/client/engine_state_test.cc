#include "client/engine_state.h"

#include <gtest/gtest.h>

#include "text/cp949.h"

namespace parley {
namespace {

TEST(ParseEngineStateTest, RepliesAsTheEngineWritesThem) {
  EngineState s;
  ASSERT_TRUE(
      ParseEngineState(Utf8ToAnsi("parley 0.9.0<QX>/opt/엔진<QX>/opt/엔진/QXBOOK.mdb<QX>1<QX>"
                                  "홍길동<QX>3<QX>DSEND<QX>LMS<QX>closed<QX>20000<QX>"
                                  "151<QX>150<QX>J42<QX>2 jobs were interrupted"),
                       &s));
  EXPECT_EQ(s.version, "parley 0.9.0");
  EXPECT_EQ(s.home, "/opt/엔진");
  EXPECT_EQ(s.book_path, "/opt/엔진/QXBOOK.mdb");
  EXPECT_TRUE(s.logged_in);
  EXPECT_EQ(s.login_id, "홍길동");
  EXPECT_EQ(s.job, 3);
  EXPECT_EQ(s.command, "DSEND");
  EXPECT_EQ(s.kind, "LMS");
  EXPECT_EQ(s.outcome, "closed");
  EXPECT_EQ(s.total, 20000);
  EXPECT_EQ(s.sent, 151);
  EXPECT_EQ(s.acknowledged, 150);
  EXPECT_EQ(s.gateway_job_id, "J42");
  EXPECT_EQ(s.journal_notice, "2 jobs were interrupted");

  // No job yet (and 13 fields: an engine before the journal): the job's fields are empty or 0.
  ASSERT_TRUE(
      ParseEngineState("parley 0.9.0<QX>/e<QX>/e/QXBOOK.mdb<QX>0<QX><QX>0<QX><QX><QX>"
                       "<QX>0<QX>0<QX><QX>",
                       &s));
  EXPECT_FALSE(s.logged_in);
  EXPECT_EQ(s.job, 0);
  EXPECT_EQ(s.total, 0);
  EXPECT_EQ(s.outcome, "");
}

TEST(ParseEngineStateTest, RefusesMalformedReplies) {
  const char* bad[] = {
      "",
      // 12 fields and 15 fields.
      "v<QX>h<QX>b<QX>0<QX><QX>0<QX><QX><QX><QX>0<QX>0<QX>0",
      "v<QX>h<QX>b<QX>0<QX><QX>0<QX><QX><QX><QX>0<QX>0<QX>0<QX><QX><QX>",
      // Login flag neither 0 nor 1.
      "v<QX>h<QX>b<QX>2<QX><QX>0<QX><QX><QX><QX>0<QX>0<QX>0<QX>",
      "v<QX>h<QX>b<QX><QX><QX>0<QX><QX><QX><QX>0<QX>0<QX>0<QX>",
      // Counts that are no whole numbers.
      "v<QX>h<QX>b<QX>0<QX><QX>x<QX><QX><QX><QX>0<QX>0<QX>0<QX>",
      "v<QX>h<QX>b<QX>0<QX><QX>1<QX>DSEND<QX>SMS<QX>done<QX>-5<QX>0<QX>0<QX>",
      "v<QX>h<QX>b<QX>0<QX><QX>1<QX>DSEND<QX>SMS<QX>done<QX>5<QX>5 <QX>0<QX>",
      "v<QX>h<QX>b<QX>0<QX><QX>1<QX>DSEND<QX>SMS<QX>done<QX>5<QX>5<QX>99999999999999999999<QX>",
  };
  for (const char* body : bad) {
    EngineState s;
    s.version = "untouched";
    EXPECT_FALSE(ParseEngineState(body, &s)) << body;
    EXPECT_EQ(s.version, "untouched") << body;
  }
}

TEST(GatewayFailureTextTest, SaysHowTheGatewayEndedTheJob) {
  struct Case {
    const char* outcome;
    const char* english;  // empty: no gateway failure
  } cases[] = {
      {"refused", "the gateway refused the job; nothing was sent"},
      {"no-answer", "the gateway did not answer (151 messages sent)"},
      {"closed", "the gateway closed the connection after 151 messages"},
      {"nack",
       "the gateway sent a negative acknowledgement after 150 acknowledged messages (151 "
       "sent)"},
      {"done", ""},
      {"running", ""},
      {"cancelled", ""},
      {"failed", ""},
  };
  for (const Case& c : cases) {
    EngineState s;
    s.outcome = c.outcome;
    s.sent = 151;
    s.acknowledged = 150;
    EXPECT_EQ(GatewayFailureText(s, Language::kEnglish), c.english) << c.outcome;
    EXPECT_EQ(GatewayFailureText(s, Language::kKorean).empty(), *c.english == '\0') << c.outcome;
  }
}

}  // namespace
}  // namespace parley
