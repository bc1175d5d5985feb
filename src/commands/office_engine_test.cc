// Two engines of an office on one PostgreSQL database (the private server the test script
// starts; PARLEY_TEST_DATABASE names it): an opt-out taken through one engine applies to the
// other's next send at once, and an engine whose database cannot be reached sends nothing rather
// than ignore the list.
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commands/send_engine_fixture.h"
#include "pgstore/pg_rules_store.h"
#include "pgstore/test_database.h"
#include "testing/engine_process.h"
#include "testing/gate_sim_process.h"
#include "testing/web_sim_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

std::string A(const std::string& utf8) { return Utf8ToAnsi(utf8); }

constexpr char kAdText[] = "(광고)파란상사 봄세일 무료수신거부 080-123-4567";

class OfficeEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A schema of each test's own: the tests may run at once.
    std::string schema = "office_";
    for (const char c :
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())) {
      schema += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    url_ = testing::FreshSchema(schema);
    if (url_.empty()) GTEST_SKIP() << "no PostgreSQL server (PARLEY_TEST_DATABASE)";
    for (const char* who : {"kim", "lee"}) std::filesystem::create_directories(dir_.path() / who);
  }

  // Engine `who` of the office, with its own home, on the database at url.
  void Start(testing::SendEngine& engine, const char* who, const std::string& url) {
    ASSERT_NO_FATAL_FAILURE(
        engine.Start(dir_.path() / who, dir_.path() / who, web_, gate_, {"--database", url}));
  }

  std::string DSend(testing::SendEngine& engine, const std::string& title,
                    const std::string& numbers, int count, const std::string& text) {
    EXPECT_TRUE(engine.Exchange("DSEND", "4<QX>1<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
    const std::string reply =
        engine.Exchange("DSEND", "1<QX>" + std::to_string(count) + "<QX>" + title + "<QX><QX>" +
                                     numbers + "<QX>0212345678<QX>" + text);
    return reply.substr(0, reply.find("<QX>"));
  }

  testing::TempDir dir_;
  testing::WebSim web_{dir_.path()};
  testing::GateSim gate_{dir_.path()};
  std::string url_;
};

TEST_F(OfficeEngineTest, AnOptOutTakenByOneEngineAppliesToTheOthersNextSend) {
  testing::SendEngine kim;
  testing::SendEngine lee;
  ASSERT_NO_FATAL_FAILURE(Start(kim, "kim", url_));
  ASSERT_NO_FATAL_FAILURE(Start(lee, "lee", url_));
  // Kim sets the business name and takes a customer's opt-out by phone.
  EXPECT_EQ(kim.Exchange("SETPT", "business_name<QX>파란상사"), A("파란상사<QX><QX>ad<QX>"));
  EXPECT_EQ(kim.Exchange("OPTAD", "010-0000-0001<QX>asked Kim by phone"), "1<QX>0<QX>");
  // Lee's next advertising send leaves that customer out, and Lee sees the list and settings.
  // (With night consent, so that the test runs at any hour.)
  EXPECT_EQ(DSend(lee, "<AD><NIGHT>T", "01000000000,01000000001,01000000002", 3, kAdText),
            A("총 2건이\n성공적으로 전송되었습니다\n수신거부 1명 제외"));
  const testing::GateJob job = gate_.WaitForJobs(1).back();
  ASSERT_EQ(job.messages.size(), 2u);
  EXPECT_EQ(job.messages[0].recipient, "01000000000");
  EXPECT_EQ(job.messages[1].recipient, "01000000002");
  EXPECT_TRUE(lee.Exchange("OPTLS", "").starts_with("1<QX>01000000001,"));
  // A callback registered by Lee binds Kim at once.
  EXPECT_EQ(lee.Exchange("CBKAD", "031-123-4567<QX>"), "1<QX>0<QX>");
  EXPECT_NE(DSend(kim, "T", "01000000000", 1, "hi").find(A("등록된 발신번호가 아닙니다")),
            std::string::npos);
  // Neither engine's own address book file holds any of it.
  for (const char* who : {"kim", "lee"}) {
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / who / "OPTOUT_TB")) << who;
  }
}

TEST_F(OfficeEngineTest, AnEngineWhoseDatabaseIsUnreachableSendsNothing) {
  testing::SendEngine engine;
  // A server that is not there: the port of a closed socket.
  const std::string nowhere =
      "postgresql://parley@127.0.0.1:" + std::to_string(testing::FreePort()) + "/parley_test";
  ASSERT_NO_FATAL_FAILURE(Start(engine, "kim", nowhere));
  EXPECT_NE(DSend(engine, "T", "01000000000", 1, "hi").find(A("사무실 데이터베이스")),
            std::string::npos);
  EXPECT_TRUE(gate_.Jobs().empty());
}

}  // namespace
}  // namespace parley
