// The content commands and the ENDQX logout through the engine binary, its web client pointed at
// the web service simulator. The engine has not logged in here, so every page answers the
// service's "no session" reply, which reads as empty.
#include <chrono>
#include <memory>

#include <gtest/gtest.h>

#include "link/message.h"
#include "client/link_client.h"
#include "testing/engine_process.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

using namespace std::chrono_literals;

class ContentEngineTest : public ::testing::Test {
 protected:
  ContentEngineTest() : sim_(dir_.path()), link_port_(testing::FreePort()) {
    engine_ = std::make_unique<testing::ChildProcess>(
        testing::EngineBinary(),
        std::vector<std::string>{"--link-port", std::to_string(link_port_), "--ui-program", "none",
                                 "--home", dir_.path().string(), "--web-base", sim_.base_url(),
                                 "--web-port", std::to_string(sim_.port()), "--web-timeout", "2",
                                 "--log-level", "debug"},
        dir_.path() / "engine.log");
    // The log line, not a probe: a probe's closed connection would relaunch the UI program.
    EXPECT_TRUE(engine_->WaitForLog("listening on", 10000)) << engine_->Log();
    std::string error;
    EXPECT_TRUE(client_.Connect("127.0.0.1", link_port_, &error)) << error;
  }

  RawMessage Exchange(std::string_view code, std::string_view body) {
    std::string error;
    RawMessage m;
    EXPECT_TRUE(client_.SendMessage(code, body, &error)) << error;
    EXPECT_TRUE(client_.ReadMessage(&m, 10000, &error)) << error;
    return m;
  }

  testing::TempDir dir_;
  testing::WebSim sim_;
  uint16_t link_port_;
  std::unique_ptr<testing::ChildProcess> engine_;
  LinkClient client_;
};

TEST_F(ContentEngineTest, EachCommandAsksAndAnswers) {
  struct Case {
    const char* code;
    const char* body;
    const char* reply;
    size_t requests;  // web requests the command makes
  };
  const Case cases[] = {
      {"MYMSG", "CNT<QX>2<QX>10", "CNT<QX><QX><QX>", 3},
      {"MYMSG", "SMS<QX>1<QX>10", "SMS<QX>", 1},
      {"MYMSG", "SAVE<QX>hello<QX>subject<QX>SMS", "SAVE<QX>", 1},  // a reply without quotes
      {"MYMSG", "cnt<QX>2<QX>10", "", 0},
      {"EMOTN", "<FIRST>SMS<QX>1<QX>10", "<FIRST><QX><QX>", 3},
      {"EMOTN", " <FIRST>SMS<QX>1<QX>10", "<QX>", 2},
      {"SENDL", "1<QX>20240301<QX>20240331<QX>NULL<QX>NULL<QX>1<QX>10", "1<QX>0,0,0,<DATA>", 2},
      {"SENDL", "2<QX>20240301<QX>20240331<QX>NULL<QX>NULL<QX>1<QX>10", "2<DATA>", 1},
      {"SENDL", "3<QX>20240301<QX>20240331<QX>NULL<QX>NULL<QX>1<QX>10", "3<QX>,0,0,<DATA>", 2},
      {"CASHL", "2024<QX>3<QX>2024<QX>3", "", 1},
  };
  for (const Case& c : cases) {
    const size_t before = sim_.Requests().size();
    const RawMessage m = Exchange(c.code, c.body);
    EXPECT_EQ(m.header, MakeHeader(c.code, std::string_view(c.reply).size())) << c.body;
    EXPECT_EQ(m.body, c.reply) << c.body;
    EXPECT_EQ(sim_.Requests().size() - before, c.requests) << c.body;
  }
}

TEST_F(ContentEngineTest, EndqxZeroLogsOutOfTheWebService) {
  const RawMessage m = Exchange("ENDQX", "0");
  EXPECT_EQ(m.header + m.body, "ENDQXQX0.10         ");
  const std::vector<std::string> requests = sim_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
            "GET /Member/logout.asp?lmode=QX HTTP/1.0");
  EXPECT_TRUE(engine_->Running());
}

TEST_F(ContentEngineTest, AStalledServiceTimesOutAndTheNextCommandIsAnswered) {
  sim_.Control("/_sim/stall?seconds=8&count=1");
  const auto start = std::chrono::steady_clock::now();
  RawMessage m = Exchange("CASHL", "2024<QX>3<QX>2024<QX>3");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(m.header + m.body, "CASHLQX0.10         ");
  EXPECT_GE(took, 1900ms);
  EXPECT_LT(took, 5s);
  EXPECT_TRUE(engine_->WaitForLog("GetDailyStat.asp?syy=2024&smm=3&eyy=2024&emm=3 failed", 1000))
      << engine_->Log();
  m = Exchange("SENDL", "2<QX>20240301<QX>20240331");
  EXPECT_EQ(m.header + m.body, "SENDLQX0.17         2<DATA>");
}

}  // namespace
}  // namespace parley
