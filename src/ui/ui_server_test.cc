// parley-ui against the real engine, websim and gatesim: the door refuses what does not come from
// the user's browser, and a send made through the page's calls reaches the gateway as checked.
#include <httplib.h>

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gatesim/gate_sim_process.h"
#include "testing/engine_process.h"
#include "ui/ui_guard.h"
#include "websim/web_sim_process.h"

namespace parley {
namespace {

class UiServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const uint16_t link_port = testing::FreePort();
    engine_ = std::make_unique<testing::ChildProcess>(
        testing::EngineBinary(),
        std::vector<std::string>{"--link-port", std::to_string(link_port), "--ui-program", "none",
                                 "--home", dir_.path().string(), "--web-base", web_.base_url(),
                                 "--web-port", std::to_string(web_.port()), "--gateway",
                                 "127.0.0.1:" + std::to_string(gate_.port())},
        dir_.path() / "engine.log");
    ASSERT_TRUE(engine_->WaitForLog("listening on", 10000)) << engine_->Log();
    ui_ = std::make_unique<testing::ChildProcess>(
        testing::BuiltBinary("PARLEY_UI_BIN", "parley-ui"),
        std::vector<std::string>{"--link-port", std::to_string(link_port), "--no-browser",
                                 "--max-request-mb", "1"},
        dir_.path() / "ui.log");
    ASSERT_TRUE(ui_->WaitForLog("/?token=", 10000)) << ui_->Log();
    std::smatch m;
    const std::string log = ui_->Log();
    ASSERT_TRUE(std::regex_search(log, m, std::regex("127\\.0\\.0\\.1:(\\d+)/\\?token=(\\w+)")));
    port_ = std::stoi(m[1]);
    token_ = m[2];
    origin_ = "http://127.0.0.1:" + std::to_string(port_);
  }

  httplib::Client Client() { return httplib::Client("127.0.0.1", port_); }
  httplib::Headers WithCookie(httplib::Headers headers = {}) {
    headers.emplace("Cookie", std::string(kUiCookieName) + "=" + token_);
    return headers;
  }
  // A call of the page: a multipart form, with the cookie and the page's Origin.
  httplib::Result Post(const std::string& path, const httplib::MultipartFormDataItems& fields) {
    return Client().Post(path.c_str(), WithCookie({{"Origin", origin_}, {"X-Parley-Lang", "en"}}),
                         fields);
  }

  testing::TempDir dir_;
  testing::WebSim web_{dir_.path()};
  testing::GateSim gate_{dir_.path()};
  std::unique_ptr<testing::ChildProcess> engine_;
  std::unique_ptr<testing::ChildProcess> ui_;
  int port_ = 0;
  std::string token_;
  std::string origin_;
};

TEST_F(UiServerTest, OnlyTheUsersBrowserGetsIn) {
  httplib::Client c = Client();
  EXPECT_EQ(c.Get("/")->status, 403);                         // no cookie
  EXPECT_EQ(c.Get("/?token=0123456789abcdef")->status, 403);  // a wrong token
  EXPECT_EQ(c.Get("/", {{"Cookie", "parley_ui=wrong"}})->status, 403);
  const auto first = c.Get(("/?token=" + token_).c_str());
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, 303);
  const std::string cookie = first->get_header_value("Set-Cookie");
  EXPECT_NE(cookie.find(token_), std::string::npos);
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);

  const auto page = c.Get("/", WithCookie());
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("<title>Parley</title>"), std::string::npos);
  EXPECT_EQ(page->get_header_value("Content-Security-Policy"), kContentSecurityPolicy);
  EXPECT_EQ(page->get_header_value("X-Frame-Options"), "DENY");

  // A name rebound to 127.0.0.1 by another site, and calls from another site.
  EXPECT_EQ(c.Get("/", WithCookie({{"Host", "evil.example:" + std::to_string(port_)}}))->status,
            403);
  const httplib::MultipartFormDataItems login = {{"id", "qxuser", "", ""},
                                                 {"password", "qxpass", "", ""}};
  EXPECT_EQ(c.Post("/api/login", WithCookie(), login)->status, 403);  // no Origin
  EXPECT_EQ(c.Post("/api/login", WithCookie({{"Origin", "http://evil.example"}}), login)->status,
            403);
  EXPECT_EQ(c.Post("/api/login", {{"Origin", origin_}}, login)->status, 403);  // no cookie
  EXPECT_EQ(Post("/api/login", login)->status, 200);

  // A request over the cap (1 MB here) is refused before it is read.
  const std::string big(2 << 20, 'x');
  const auto over = Post("/api/compose", {{"text", big, "", ""}});
  ASSERT_TRUE(over);
  EXPECT_EQ(over->status, 413);
  // Paths outside the page are not served.
  EXPECT_EQ(c.Get("/../engine.log", WithCookie())->status, 404);
}

TEST_F(UiServerTest, ASendThroughThePageReachesTheGatewayAsChecked) {
  const auto login = Post("/api/login", {{"id", "qxuser", "", ""}, {"password", "qxpass", "", ""}});
  ASSERT_TRUE(login);
  EXPECT_NE(login->body.find("\"ok\":true"), std::string::npos) << login->body;
  EXPECT_NE(login->body.find("\"account\""), std::string::npos);

  // The page's live check: numbers normalised, a duplicate removed, a bad one named, the bytes.
  const httplib::MultipartFormDataItems compose = {
      {"to", "010-1234-5678\n01012345678, 01098765432\n0101234", "", ""},
      {"text", "안녕하세요", "", ""},
      {"callback", "02-123-4567", "", ""}};
  const auto checked = Post("/api/compose", compose);
  ASSERT_TRUE(checked);
  EXPECT_NE(checked->body.find("\"bytes\":10"), std::string::npos) << checked->body;
  EXPECT_NE(checked->body.find("\"kind\":\"SMS\""), std::string::npos);
  EXPECT_NE(checked->body.find("\"ok\":false"), std::string::npos);
  EXPECT_NE(checked->body.find("0101234"), std::string::npos) << "the bad number is named";
  // A send that the check refuses sends nothing.
  const auto refused = Post("/api/send", compose);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 422);

  const auto sent = Post("/api/send", {{"to", "010-1234-5678\n01098765432, 01055556666", "", ""},
                                       {"text", "안녕하세요", "", ""},
                                       {"callback", "02-123-4567", "", ""}});
  ASSERT_TRUE(sent);
  EXPECT_EQ(sent->status, 200);
  EXPECT_NE(sent->body.find("\"ok\":true"), std::string::npos) << sent->body;
  EXPECT_NE(sent->body.find("\"outcome\":\"done\""), std::string::npos) << sent->body;
  const std::vector<testing::GateJob> jobs = gate_.WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  ASSERT_EQ(jobs[0].messages.size(), 3u);
  EXPECT_EQ(jobs[0].messages[0].recipient, "01012345678");
  EXPECT_EQ(jobs[0].messages[2].recipient, "01055556666");
  EXPECT_EQ(jobs[0].messages[0].callback, "021234567");

  const auto list = Client().Get("/api/jobs", WithCookie());
  ASSERT_TRUE(list);
  EXPECT_NE(list->body.find("\"total\":3"), std::string::npos) << list->body;
  const auto state = Client().Get("/api/state", WithCookie());
  ASSERT_TRUE(state);
  EXPECT_NE(state->body.find("\"logged_in\":true"), std::string::npos) << state->body;

  // Quitting from the page ends the engine, and parley-ui with it.
  EXPECT_EQ(Client().Post("/api/quit", WithCookie({{"Origin", origin_}}))->status, 200);
  int status = -1;
  EXPECT_TRUE(engine_->Wait(10000, &status));
  EXPECT_TRUE(ui_->Wait(10000, &status));
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace parley
