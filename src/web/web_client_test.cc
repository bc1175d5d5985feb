// The web client against the web service simulator on 127.0.0.1.
#include "web/web_client.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>
#include <spdlog/sinks/ostream_sink.h>
#include <spdlog/spdlog.h>

#include "protocol/query_requests.h"
#include "protocol/replies.h"
#include "testing/await.h"
#include "testing/engine_process.h"
#include "web/endpoints.h"
#include "web/reply_data.h"
#include "web/web_service.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

using namespace std::chrono_literals;

constexpr char kPostHeaders[] =
    "Content-Type: application/x-www-form-urlencoded\r\n"
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)\r\n";

// Collects what is logged while it lives.
class LogCapture {
 public:
  LogCapture() : previous_(spdlog::default_logger()) {
    auto sink = std::make_shared<spdlog::sinks::ostream_sink_st>(out_);
    sink->set_pattern("%l %v");
    spdlog::set_default_logger(std::make_shared<spdlog::logger>("capture", sink));
  }
  ~LogCapture() { spdlog::set_default_logger(previous_); }
  std::string text() const { return out_.str(); }
  int ErrorLines() const {
    std::istringstream in(out_.str());
    int n = 0;
    for (std::string line; std::getline(in, line);) n += line.starts_with("error ");
    return n;
  }

 private:
  std::ostringstream out_;
  std::shared_ptr<spdlog::logger> previous_;
};

// Removes the value of the "Cookie:" header so that a request can be compared whole.
std::string MaskCookie(std::string request) {
  const size_t at = request.find("\r\nCookie: ");
  if (at == std::string::npos) return request;
  const size_t value = at + 10;
  request.replace(value, request.find("\r\n", value) - value, "*");
  return request;
}

class WebClientTest : public ::testing::Test {
 protected:
  WebClientTest() : sim_(dir_.path()), web_(sim_.port(), WebTimeouts{2000ms, 2000ms}) {}

  std::string host() const { return "Host: 127.0.0.1:" + std::to_string(sim_.port()) + "\r\n"; }
  std::string LastRequest() const {
    const std::vector<std::string> all = sim_.Requests();
    return all.empty() ? std::string() : all.back();
  }

  void Login(const char* args = "qxuser<QX>qxpass") {
    const protocol::LoginRequest r = protocol::LoginRequest::Parse(args);
    const WebRequest login = RequestFor(sim_.base_url(), Endpoint::kLogin, {r.id, r.password});
    EXPECT_TRUE(
        testing::Await(io_, web_.PostForm(login.form, login.target.server, login.target.object)));
  }

  testing::TempDir dir_;
  testing::WebSim sim_;
  asio::io_context io_;
  CWebClient web_;
};

TEST_F(WebClientTest, PostAndGetGoOutByteForByte) {
  Login();
  EXPECT_EQ(LastRequest(), "POST /QX/loginok.asp HTTP/1.0\r\n" + host() + kPostHeaders +
                               "Content-Length: 52\r\n\r\n"
                               "loginid=qxuser&loginpass=qxpass&lmode=QX&Ver=1.0.0.0");
  // Only the first line of the reply, without its CR.
  EXPECT_EQ(LoginCode(web_.reply()), '1');
  EXPECT_EQ(web_.reply().find_first_of("\r\n"), std::string::npos) << web_.reply();

  const WebRequest info = RequestFor(sim_.base_url(), Endpoint::kUserInfo, {});
  ASSERT_EQ(info.target.port, 443);  // named in the URL, but the request goes to the sim's port
  EXPECT_TRUE(testing::Await(io_, web_.GetPage(info.target.server, info.target.object)));
  EXPECT_EQ(MaskCookie(LastRequest()), "GET /Ajax/GetUserInfo.asp HTTP/1.0\r\n" + host() +
                                           "User-Agent: Parley\r\nCookie: *\r\n\r\n");
  EXPECT_EQ(web_.reply().substr(0, 11), "qxuser<COL>");
}

TEST_F(WebClientTest, TheLoginCookieGoesWithLaterRequests) {
  const WebRequest info = RequestFor(sim_.base_url(), Endpoint::kUserInfo, {});
  // Before the login: no cookie, and the service answers "2", which reads as empty.
  EXPECT_TRUE(testing::Await(io_, web_.GetPage(info.target.server, info.target.object)));
  EXPECT_EQ(LastRequest().find("Cookie:"), std::string::npos);
  EXPECT_EQ(web_.reply(), "");

  Login("qxuser<QX>wrong");
  EXPECT_EQ(LoginCode(web_.reply()), '0');
  EXPECT_TRUE(testing::Await(io_, web_.GetPage(info.target.server, info.target.object)));
  EXPECT_EQ(web_.reply(), "");

  Login();
  // Every request of the handle, reset in between, carries the session.
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(testing::Await(io_, web_.GetPage(info.target.server, info.target.object)));
    EXPECT_NE(LastRequest().find("\r\nCookie: ASPSESSIONID"), std::string::npos);
    EXPECT_EQ(protocol::UserInfoText(ParseUserInfo(web_.reply())).substr(0, 10), "<QX>qxuser")
        << web_.reply();
  }
  // Another client has a cookie jar of its own.
  CWebClient other(sim_.port());
  EXPECT_TRUE(testing::Await(io_, other.GetPage(info.target.server, info.target.object)));
  EXPECT_EQ(other.reply(), "");

  const WebTarget logout = RequestFor(sim_.base_url(), Endpoint::kLogout, {}).target;
  EXPECT_TRUE(testing::Await(io_, web_.GetPage(logout.server, logout.object)));
  EXPECT_EQ(LastRequest().substr(0, 45), "GET /Member/logout.asp?lmode=QX HTTP/1.0\r\nHos");
  EXPECT_TRUE(testing::Await(io_, web_.GetPage(info.target.server, info.target.object)));
  EXPECT_EQ(web_.reply(), "") << "logged out";
}

// A cookie scoped to a path goes only with requests under that path, and a proxy named in the
// environment is not used.
TEST(WebClientCookieTest, CookiesFollowTheirPathAndNoProxyIsUsed) {
  testing::TempDir dir;
  testing::WebSim sim(dir.path(), {"--cookie-path", "/Ajax"});
  asio::io_context io_;
  CWebClient web(sim.port(), WebTimeouts{2000ms, 2000ms});
  const char* proxy = std::getenv("http_proxy");
  const std::string saved = proxy == nullptr ? "" : proxy;
  setenv("http_proxy", "http://127.0.0.1:1", 1);  // nothing listens there

  const WebRequest login = RequestFor(sim.base_url(), Endpoint::kLogin, {"qxuser", "qxpass"});
  EXPECT_TRUE(
      testing::Await(io_, web.PostForm(login.form, login.target.server, login.target.object)));
  EXPECT_EQ(LoginCode(web.reply()), '1');
  const WebRequest info = RequestFor(sim.base_url(), Endpoint::kUserInfo, {});
  EXPECT_TRUE(testing::Await(io_, web.GetPage(info.target.server, info.target.object)));
  EXPECT_EQ(protocol::UserInfoText(ParseUserInfo(web.reply())).substr(0, 10), "<QX>qxuser")
      << web.reply();
  const WebTarget logout = RequestFor(sim.base_url(), Endpoint::kLogout, {}).target;
  EXPECT_TRUE(testing::Await(io_, web.GetPage(logout.server, logout.object)));
  const std::vector<std::string> requests = sim.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[1].find("\r\nCookie: ASPSESSIONID"), std::string::npos) << requests[1];
  EXPECT_EQ(requests[2].find("Cookie:"), std::string::npos) << requests[2];

  if (proxy == nullptr) {
    unsetenv("http_proxy");
  } else {
    setenv("http_proxy", saved.c_str(), 1);
  }
}

TEST_F(WebClientTest, AStalledServiceTimesOutWithOneErrorLineAndAnEmptyReply) {
  Login();
  ASSERT_FALSE(web_.reply().empty());
  sim_.Control("/_sim/stall?seconds=6&count=2");
  const WebRequest info = RequestFor(sim_.base_url(), Endpoint::kUserInfo, {});
  for (bool post : {false, true}) {
    LogCapture log;
    const auto start = std::chrono::steady_clock::now();
    const bool ok =
        post ? testing::Await(io_, web_.PostForm("a=1", info.target.server, info.target.object))
             : testing::Await(io_, web_.GetPage(info.target.server, info.target.object));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(ok);
    EXPECT_EQ(web_.reply(), "") << "no reply is left over from before";
    EXPECT_GE(took, 1900ms);
    EXPECT_LT(took, 4s);
    EXPECT_EQ(log.ErrorLines(), 1) << log.text();
    EXPECT_NE(log.text().find("/Ajax/GetUserInfo.asp"), std::string::npos) << log.text();
  }
  // The stall is over: the client works as before.
  EXPECT_TRUE(testing::Await(io_, web_.GetPage(info.target.server, info.target.object)));
  EXPECT_EQ(web_.reply().substr(0, 6), "qxuser");
}

TEST_F(WebClientTest, BrokenRepliesFailSoundly) {
  Login();
  const WebRequest info = RequestFor(sim_.base_url(), Endpoint::kUserInfo, {});
  struct Case {
    const char* mode;
    bool ok;
  };
  // A connection closed without a reply, bytes that are no HTTP reply and an error status fail,
  // also when the error page's body would pass for an answer.
  const Case cases[] = {{"fail?mode=close", false}, {"fail?mode=garbage", false},
                        {"fail?mode=500", false},   {"status?code=500", false},
                        {"status?code=404", false}, {"status?code=302", false},
                        {"status?code=201", true},  {"status?code=299", true}};
  for (const Case& c : cases) {
    sim_.Control(std::string("/_sim/") + c.mode + "&count=1");
    LogCapture log;
    EXPECT_EQ(testing::Await(io_, web_.GetPage(info.target.server, info.target.object)), c.ok)
        << c.mode;
    EXPECT_EQ(log.ErrorLines(), c.ok ? 0 : 1) << c.mode << log.text();
    EXPECT_EQ(web_.reply().empty(), !c.ok) << c.mode;
  }
  // The login page's own "1..." under an error status is no login.
  sim_.Control("/_sim/status?code=500&count=1");
  const WebRequest login = RequestFor(sim_.base_url(), Endpoint::kLogin, {"qxuser", "qxpass"});
  EXPECT_FALSE(
      testing::Await(io_, web_.PostForm(login.form, login.target.server, login.target.object)));
  EXPECT_EQ(web_.reply(), "");
  // Nothing listening at all.
  CWebClient nowhere(testing::FreePort());
  LogCapture log;
  EXPECT_FALSE(testing::Await(io_, nowhere.PostForm("a=1", "127.0.0.1", "/QX/sended.asp")));
  EXPECT_EQ(log.ErrorLines(), 1) << log.text();
}

// The service object over the client: the send check's answer and the report, as values.
TEST_F(WebClientTest, SendCheckAndReport) {
  WebService service(sim_.base_url(), sim_.port(), WebTimeouts{2000ms, 2000ms});
  ASSERT_EQ(testing::Await(io_, service.Login("qxuser", "qxpass")), '1');
  struct Case {
    const char* kind;
    const char* count;
    const char* form;
    bool allowed;
  };
  const Case cases[] = {
      {"1", "5", "type=SMS&totcnt=5&reserdate=", true},
      {"2", "5", "type=LMS&totcnt=5&reserdate=", true},
      {"3", "5", "type=MMS&totcnt=5&reserdate=", true},
      {"x", "5", "type=MMS&totcnt=5&reserdate=", true},
      {"1", "20000", "type=SMS&totcnt=20000&reserdate=", false},  // above the balance
  };
  for (const Case& c : cases) {
    const SendCheckAnswer answer = testing::Await(io_, service.CheckSendable(c.kind, c.count, ""));
    EXPECT_EQ(answer.allowed, c.allowed) << c.form;
    const std::string request = LastRequest();
    EXPECT_EQ(request.substr(0, 37), "POST /QX/sendablecheck.asp HTTP/1.0\r\n");
    EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), c.form);
    EXPECT_EQ(answer.text.find("<COL>"), std::string::npos) << answer.text;
    EXPECT_EQ(answer.text.find("<BR>"), std::string::npos) << answer.text;
    EXPECT_NE(answer.text.find("<QX>"), std::string::npos) << answer.text;
  }

  // A long report goes whole.
  std::string report = "jobid=J1&type=SMS&totcnt=1&title=t&msg=" + std::string(5000, 'm') +
                       "&resflag=1&reserdate=&fromnumber=0212345678";
  testing::Await(io_, service.ReportSent(report));
  const std::string request = LastRequest();
  EXPECT_EQ(request.substr(0, 30), "POST /QX/sended.asp HTTP/1.0\r\n");
  EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), report);
  EXPECT_NE(request.find("Content-Length: " + std::to_string(report.size()) + "\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace parley
