// parley-ui as a user's browser meets it, for tests: the real engine with websim and gatesim,
// the parley-ui program on the engine's link port, its printed address traded for a session,
// and the page's calls made with that session, the page's Origin and a language.
#ifndef PARLEY_UI_UI_SERVER_FIXTURE_H_
#define PARLEY_UI_UI_SERVER_FIXTURE_H_

#include <httplib.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/engine_process.h"
#include "testing/gate_sim_process.h"
#include "testing/web_sim_process.h"
#include "ui/ui_guard.h"

namespace parley {

class UiServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    link_port_ = testing::FreePort();
    const uint16_t link_port = link_port_;
    engine_ = std::make_unique<testing::ChildProcess>(
        testing::EngineBinary(),
        std::vector<std::string>{"--link-port", std::to_string(link_port), "--ui-program", "none",
                                 "--home", dir_.path().string(), "--web-base", web_.base_url(),
                                 "--web-port", std::to_string(web_.port()), "--gateway",
                                 "127.0.0.1:" + std::to_string(gate_.port())},
        dir_.path() / "engine.log");
    ASSERT_TRUE(engine_->WaitForLog("listening on", 10000)) << engine_->Log();
    // The program, through env(1) with the environment the test gives it.
    std::vector<std::string> args = Environment();
    args.insert(args.end(), {testing::BuiltBinary("PARLEY_UI_BIN", "parley-ui"), "--link-port",
                             std::to_string(link_port), "--max-request-mb", "1"});
    if (!OpensBrowser()) args.push_back("--no-browser");
    ui_ = std::make_unique<testing::ChildProcess>("/usr/bin/env", args, dir_.path() / "ui.log");
    ASSERT_TRUE(ui_->WaitForLog("/?token=", 10000)) << ui_->Log();
    ASSERT_TRUE(ParseAddress(ui_->Log(), &address_, &port_, &token_)) << ui_->Log();
    origin_ = "http://" + address_ + ":" + std::to_string(port_);
  }

  virtual std::vector<std::string> Environment() { return {}; }
  virtual bool OpensBrowser() { return false; }

  // The address to open in a line "open http://ADDRESS:PORT/?token=TOKEN".
  static bool ParseAddress(const std::string& text, std::string* address, int* port,
                           std::string* token) {
    std::smatch m;
    if (!std::regex_search(text, m,
                           std::regex(R"(open http://(127\.\d+\.\d+\.\d+):(\d+)/\?token=(\w+))"))) {
      return false;
    }
    *address = m[1];
    *port = std::stoi(m[2]);
    *token = m[3];
    return true;
  }

  // Opens the page with the printed address once: the session cookie it is answered with.
  std::string Session() {
    if (session_.empty()) {
      const auto first = Client().Get(("/?token=" + token_).c_str());
      if (first && first->status == 303) {
        session_ = CookieValue(first->get_header_value("Set-Cookie"), kUiCookieName);
      }
    }
    return session_;
  }

  httplib::Client Client() { return httplib::Client(address_, port_); }
  httplib::Headers WithCookie(httplib::Headers headers = {}) {
    headers.emplace("Cookie", std::string(kUiCookieName) + "=" + Session());
    return headers;
  }
  // A call of the page: a multipart form, with the cookie and the page's Origin.
  httplib::Result Post(const std::string& path, const httplib::MultipartFormDataItems& fields,
                       const std::string& language = "en") {
    return Client().Post(path.c_str(),
                         WithCookie({{"Origin", origin_}, {"X-Parley-Lang", language}}), fields);
  }

  void LogIn() {
    const auto login =
        Post("/api/login", {{"id", "qxuser", "", ""}, {"password", "qxpass", "", ""}});
    ASSERT_TRUE(login);
    ASSERT_NE(login->body.find("\"ok\":true"), std::string::npos) << login->body;
  }

  testing::TempDir dir_;
  testing::WebSim web_{dir_.path()};
  // Acknowledgements slow (one after every 50 messages): a send of 3,000 lasts about 24 s, long
  // enough to be stopped; a send of a few messages waits for none.
  testing::GateSim gate_{dir_.path(), {"--ack-delay-ms", "400"}};
  std::unique_ptr<testing::ChildProcess> engine_;
  std::unique_ptr<testing::ChildProcess> ui_;
  std::string address_;
  int port_ = 0;
  uint16_t link_port_ = 0;  // the engine's
  std::string token_;
  std::string session_;
  std::string origin_;
};

}  // namespace parley

#endif  // PARLEY_UI_UI_SERVER_FIXTURE_H_
