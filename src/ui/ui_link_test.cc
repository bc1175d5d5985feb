// UiLink against the real engine and a web service that answers late: a request that gave up
// never has its late reply taken for another request's.
#include "ui/ui_link.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client/reply_fields.h"
#include "protocol/markup.h"
#include "protocol/query_requests.h"
#include "protocol/send_requests.h"
#include "testing/engine_process.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

using namespace std::chrono_literals;

class UiLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    link_port_ = testing::FreePort();
    engine_ = std::make_unique<testing::ChildProcess>(
        testing::EngineBinary(),
        std::vector<std::string>{"--link-port", std::to_string(link_port_), "--ui-program", "none",
                                 "--home", dir_.path().string(), "--web-base", web_.base_url(),
                                 "--web-port", std::to_string(web_.port())},
        dir_.path() / "engine.log");
    ASSERT_TRUE(engine_->WaitForLog("listening on", 10000)) << engine_->Log();
  }

  // The count the web service's send check answered for (field 2 of its line).
  static std::string CheckedCount(const std::optional<std::string>& reply) {
    if (!reply) return "no reply";
    const std::vector<std::string> f = SplitOn(*reply, protocol::kFieldSep);
    return f.size() > 3 ? f[3] : "not a check: " + *reply;
  }

  static std::string CheckBody(int count) {
    return protocol::SendCheckRequest{std::to_string(count), "1", ""}.Build();
  }

  testing::TempDir dir_;
  testing::WebSim web_{dir_.path()};
  uint16_t link_port_ = 0;
  std::unique_ptr<testing::ChildProcess> engine_;
};

TEST_F(UiLinkTest, ALateReplyNeverAnswersTheNextRequestOfItsCode) {
  UiLink link("127.0.0.1", link_port_);
  ASSERT_TRUE(link.Ask("LOGIN", protocol::LoginRequest{"qxuser", "qxpass", false}.Build(), 10s));
  struct Case {
    const char* what;
    double stall_seconds;                 // the web service's wait for the check that gives up
    std::chrono::milliseconds next_wait;  // the time the next check of the same code has
    std::string next_answer;              // the count it is answered for, or "no reply"
  };
  const std::vector<Case> cases = {
      {"the next check waits for the late reply, drops it and gets its own", 2.5, 10s, "3"},
      {"a next check whose time runs out first fails unsent", 4, 1s, "no reply"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    web_.Control("/_sim/stall?seconds=" + std::to_string(c.stall_seconds) + "&count=1");
    EXPECT_EQ(CheckedCount(link.Ask("DSEND", CheckBody(7), 1s)), "no reply");
    const size_t asked = web_.Requests().size();
    EXPECT_EQ(CheckedCount(link.Ask("DSEND", CheckBody(3), c.next_wait)), c.next_answer);
    if (c.next_answer == "no reply") {
      EXPECT_EQ(web_.Requests().size(), asked) << "the second check was not sent";
    }
    // Once the late reply has come, the code answers as before; other codes never waited.
    EXPECT_EQ(CheckedCount(link.Ask("DSEND", CheckBody(5), 10s)), "5");
    EXPECT_TRUE(link.Ask("STATE", "", 1s));
  }
}

}  // namespace
}  // namespace parley
