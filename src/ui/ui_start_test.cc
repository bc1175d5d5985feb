// parley-ui as the engine launches it, when the engine's UI link is taken: Parley started again
// opens the page that serves the running engine, and a link held by another program is said,
// never served as a page that cannot work.
#include <sys/stat.h>

#include <csignal>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <httplib.h>

#include "client/link_client.h"
#include "testing/engine_process.h"
#include "testing/web_sim_process.h"
#include "ui/ui_guard.h"

namespace parley {
namespace {

class UiStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // parley-ui programs meet in the user's runtime folder: one of this test's own.
    ::mkdir(runtime_.c_str(), 0700);
    link_port_ = testing::FreePort();
  }

  // The engine (through env(1), with this test's runtime folder), launching `ui_program`.
  std::unique_ptr<testing::ChildProcess> StartEngine(const std::string& ui_program,
                                                     const std::string& log) {
    return std::make_unique<testing::ChildProcess>(
        "/usr/bin/env",
        std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtime_.string(), testing::EngineBinary(),
                                 "--link-port", std::to_string(link_port_), "--ui-program",
                                 ui_program, "--home", dir_.path().string(), "--web-base",
                                 web_.base_url(), "--web-port", std::to_string(web_.port())},
        dir_.path() / log);
  }

  static std::string UiBinary() { return testing::BuiltBinary("PARLEY_UI_BIN", "parley-ui"); }

  struct Address {
    std::string host;  // address:port
    std::string token;
  };
  // The address to open in the text of a log.
  static std::optional<Address> AddressIn(const std::string& text) {
    std::smatch m;
    if (!std::regex_search(text, m,
                           std::regex(R"(open http://(127\.\d+\.\d+\.\d+:\d+)/\?token=(\w+))"))) {
      return std::nullopt;
    }
    return Address{m[1], m[2]};
  }

  testing::TempDir dir_;
  std::filesystem::path runtime_ = dir_.path() / "run";
  testing::WebSim web_{dir_.path()};
  uint16_t link_port_ = 0;
};

TEST_F(UiStartTest, ParleyStartedAgainOpensThePageOfTheRunningEngine) {
  const auto first = StartEngine(UiBinary(), "first.log");
  ASSERT_TRUE(first->WaitForLog("/?token=", 15000)) << first->Log();
  const std::optional<Address> page = AddressIn(first->Log());
  ASSERT_TRUE(page) << first->Log();

  // The second engine launches its UI program and ends; that program finds the page.
  const auto second = StartEngine(UiBinary(), "second.log");
  int status = -1;
  ASSERT_TRUE(second->Wait(10000, &status));
  EXPECT_EQ(status, 0);
  ASSERT_TRUE(second->WaitForLog("already running", 20000)) << second->Log();
  const std::optional<Address> again = AddressIn(second->Log());
  ASSERT_TRUE(again) << second->Log();
  EXPECT_EQ(again->host, page->host) << "the same page, not a second one";
  EXPECT_NE(again->token, page->token);

  // The address opens the page, and the page works: the engine answers it.
  const size_t colon = again->host.rfind(':');
  httplib::Client c(again->host.substr(0, colon), std::stoi(again->host.substr(colon + 1)));
  const auto opened = c.Get(("/?token=" + again->token).c_str());
  ASSERT_TRUE(opened);
  ASSERT_EQ(opened->status, 303);
  const std::string session = CookieValue(opened->get_header_value("Set-Cookie"), kUiCookieName);
  c.set_read_timeout(5);
  const auto state = c.Get("/api/state", {{"Cookie", std::string(kUiCookieName) + "=" + session}});
  ASSERT_TRUE(state);
  EXPECT_EQ(state->status, 200) << state->body;
  EXPECT_NE(state->body.find("\"ok\":true"), std::string::npos) << state->body;
  EXPECT_TRUE(first->Running());
}

// Another program connected to the link (qx, an old UI program) no longer keeps the page out:
// the engine serves both.
TEST_F(UiStartTest, AnotherConnectedProgramDoesNotKeepThePageOut) {
  const auto engine = StartEngine("none", "engine.log");
  ASSERT_TRUE(engine->WaitForLog("listening on", 10000)) << engine->Log();
  LinkClient other;
  std::string error;
  ASSERT_TRUE(other.Connect("127.0.0.1", link_port_, &error)) << error;

  testing::ChildProcess ui("/usr/bin/env",
                           {"XDG_RUNTIME_DIR=" + runtime_.string(), UiBinary(), "--link-port",
                            std::to_string(link_port_), "--no-browser"},
                           dir_.path() / "ui.log");
  EXPECT_TRUE(ui.WaitForLog("token=", 20000)) << ui.Log();
  ui.Signal(SIGTERM);
  int status = -1;
  EXPECT_TRUE(ui.Wait(10000, &status));
}

}  // namespace
}  // namespace parley
