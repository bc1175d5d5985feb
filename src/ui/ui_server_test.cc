// parley-ui against the real engine, websim and gatesim: the door refuses what does not come from
// the user's browser, and a send made through the page's calls reaches the gateway as checked.
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testing/engine_process.h"
#include "text/cp949.h"
#include "ui/ui_guard.h"
#include "ui/ui_server_fixture.h"

namespace parley {
namespace {

TEST_F(UiServerTest, OnlyTheUsersBrowserGetsIn) {
  // The page has a loopback address of its own, where no other local server's cookies are.
  EXPECT_NE(address_, "127.0.0.1");
  EXPECT_FALSE(address_.starts_with("127.0."));
  httplib::Client c = Client();
  EXPECT_EQ(c.Get("/")->status, 403);                         // no cookie
  EXPECT_EQ(c.Get("/?token=0123456789abcdef")->status, 403);  // a wrong token
  EXPECT_EQ(c.Get("/", {{"Cookie", "parley_ui=wrong"}})->status, 403);
  EXPECT_EQ(c.Get("/", {{"Cookie", "parley_ui=" + token_}})->status, 403);  // not yet a session
  const auto first = c.Get(("/?token=" + token_).c_str());
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, 303);
  const std::string cookie = first->get_header_value("Set-Cookie");
  EXPECT_EQ(cookie.find(token_), std::string::npos) << "the session is not the token";
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
  EXPECT_EQ(cookie.find("Domain"), std::string::npos);
  session_ = CookieValue(cookie, kUiCookieName);
  // The token is spent: the same address opens nothing a second time, nor is it a cookie.
  const auto again = c.Get(("/?token=" + token_).c_str());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 403);
  EXPECT_EQ(again->get_header_value("Set-Cookie"), "");
  EXPECT_EQ(c.Get("/", {{"Cookie", "parley_ui=" + token_}})->status, 403);

  const auto page = c.Get("/", WithCookie());
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("<title>Parley</title>"), std::string::npos);
  EXPECT_EQ(page->get_header_value("Content-Security-Policy"), kContentSecurityPolicy);
  EXPECT_EQ(page->get_header_value("X-Frame-Options"), "DENY");

  // A name rebound to the address by another site, other loopback names, calls from another
  // site.
  for (const std::string host : {"evil.example", "localhost", "127.0.0.1"}) {
    EXPECT_EQ(c.Get("/", WithCookie({{"Host", host + ":" + std::to_string(port_)}}))->status, 403)
        << host;
  }
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

// A ticked group whose name a group send cannot carry is refused with the reason: "A,B" would
// reach groups A and B, " VIP" the group VIP.
TEST_F(UiServerTest, GroupNamesASendCannotCarryAreRefused) {
  LogIn();
  for (const char* groups : {"A,B", " VIP", "VIP ", "친구\nA,B"}) {
    SCOPED_TRACE(groups);
    const auto sent = Post(
        "/api/send",
        {{"groups", groups, "", ""}, {"text", "안내", "", ""}, {"callback", "0212345678", "", ""}});
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->status, 422);
    EXPECT_NE(sent->body.find("rename the group"), std::string::npos) << sent->body;
  }
  EXPECT_EQ(gate_.WaitForJobs(1, 300).size(), 0u);
}

// Connections that send a byte of a header every few seconds, or nothing, from the same user as
// the browser: neither the page nor the stop button of a send waits for them, and a request that
// trickles in is cut off when its time is up.
TEST_F(UiServerTest, SlowAndIdleConnectionsHoldUpNeitherThePageNorTheStopButton) {
  LogIn();
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "0107" + std::to_string(1000000 + i) + "\n";
  std::thread send([&] {
    httplib::Client c = Client();
    c.set_read_timeout(120);  // a send that is not stopped lasts about 24 s
    const auto sent = c.Post(
        "/api/send", WithCookie({{"Origin", origin_}}),
        {{"to", many, "", ""}, {"text", "안내", "", ""}, {"callback", "02-123-4567", "", ""}});
    EXPECT_TRUE(sent && sent->body.find("\"outcome\":\"cancelled\"") != std::string::npos)
        << (sent ? sent->body : "no answer");
  });
  // The page checks 3,000 numbers before the job starts (slow in a sanitizer build): the stop
  // button is pressed only once the job runs.
  bool running = false;
  for (int i = 0; i < 1200 && !running; ++i) {
    const auto state = Client().Get("/api/state", WithCookie());
    running = state && state->body.find("\"state\":\"running\"") != std::string::npos;
    if (!running) usleep(50'000);
  }
  if (!running) {
    send.join();
    FAIL() << "the send never started";
  }

  auto open = [&] {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port_));
    ::inet_pton(AF_INET, address_.c_str(), &to.sin_addr);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    return fd;
  };
  // The page answers within a few seconds, whatever else is open.
  auto answers = [&](const std::string& what) {
    httplib::Client c = Client();
    c.set_connection_timeout(3);
    c.set_read_timeout(3);
    const auto started = std::chrono::steady_clock::now();
    const auto state = c.Get("/api/state", WithCookie());
    EXPECT_TRUE(state && state->status == 200) << what;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3)) << what;
  };

  std::vector<int> slow;
  for (int i = 0; i < 8; ++i) slow.push_back(open());
  const auto slow_since = std::chrono::steady_clock::now();
  std::atomic<bool> dripping{true};
  std::thread drip([&] {
    const std::string head = "GET /api/state HTTP/1.1\r\nHost: x\r\nX-Slow: ";
    for (size_t i = 0; dripping; ++i) {
      for (const int fd : slow) ::send(fd, &head[std::min(i, head.size() - 1)], 1, MSG_NOSIGNAL);
      for (int t = 0; t < 30 && dripping; ++t) usleep(100'000);  // a byte every 3 s
    }
  });
  usleep(500'000);
  answers("beside eight slow connections");
  httplib::Client c = Client();
  c.set_connection_timeout(3);
  c.set_read_timeout(3);
  const auto cancel = c.Post("/api/cancel", WithCookie({{"Origin", origin_}}), "", "text/plain");
  EXPECT_TRUE(cancel && cancel->status == 200) << "the stop button did not answer";
  EXPECT_TRUE(cancel && cancel->body.find("\"asked\":true") != std::string::npos)
      << (cancel ? cancel->body : "");
  send.join();
  const std::vector<testing::GateJob> jobs = gate_.WaitForJobs(1);
  EXPECT_EQ(jobs.size(), 1u);
  if (!jobs.empty()) {
    EXPECT_LT(jobs[0].messages.size(), 3000u) << "the stop kept the rest going";
  }

  // The slow requests are cut off (an answer or the end of the connection) when their time is
  // up, not a moment before.
  auto cut_off = [](int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
  };
  EXPECT_FALSE(std::any_of(slow.begin(), slow.end(), cut_off));
  while (std::chrono::steady_clock::now() - slow_since < std::chrono::seconds(25) &&
         !std::all_of(slow.begin(), slow.end(), cut_off)) {
    usleep(200'000);
  }
  EXPECT_TRUE(std::all_of(slow.begin(), slow.end(), cut_off));
  dripping = false;
  drip.join();
  for (const int fd : slow) ::close(fd);

  // Many connections that say nothing: the oldest make way for the browser's.
  std::vector<int> idle;
  for (int i = 0; i < 64; ++i) idle.push_back(open());
  usleep(500'000);
  answers("beside 64 idle connections");
  for (const int fd : idle) ::close(fd);
}

// With a display, the browser is handed a private file that leads it to an address of its own;
// the address never appears on a command line, where every local user could read it.
class UiBrowserOpenTest : public UiServerTest {
 protected:
  std::vector<std::string> Environment() override {
    // An xdg-open that records what it was given and follows the file as a browser would.
    const std::filesystem::path bin = dir_.path() / "bin";
    std::filesystem::create_directories(bin);
    testing::WriteScript(bin / "xdg-open",
                         "printf '%s\\n' \"$@\" > \"" + (dir_.path() / "argv").string() +
                             "\"\n"
                             "stat -c '%a %U' \"$1\" \"$(dirname \"$1\")\" > \"" +
                             (dir_.path() / "modes").string() + "\"\n" + "cp \"$1\" \"" +
                             (dir_.path() / "page").string() + "\"\n");
    return {"DISPLAY=:99", "PATH=" + bin.string() + ":" + std::getenv("PATH")};
  }
  bool OpensBrowser() override { return true; }

  static std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(UiBrowserOpenTest, TheBrowserGetsItsOwnAddressFromAPrivateFile) {
  for (int i = 0; i < 100 && Read(dir_.path() / "page").empty(); ++i) usleep(50'000);
  const std::string argv = Read(dir_.path() / "argv");
  EXPECT_EQ(argv.find("token"), std::string::npos) << argv;
  EXPECT_EQ(argv.find("http"), std::string::npos) << argv;
  EXPECT_TRUE(argv.ends_with(".html\n")) << argv;
  EXPECT_TRUE(Read(dir_.path() / "modes").starts_with("600 ")) << Read(dir_.path() / "modes");
  EXPECT_NE(Read(dir_.path() / "modes").find("\n700 "), std::string::npos);

  std::string address;
  int port = 0;
  std::string token;
  const std::string page = Read(dir_.path() / "page");
  ASSERT_TRUE(ParseAddress("open " + page.substr(page.find("http://")), &address, &port, &token))
      << page;
  EXPECT_EQ(address, address_);
  EXPECT_EQ(port, port_);
  EXPECT_NE(token, token_) << "the browser's address is not the printed one";
  // Each opens the page once.
  for (const std::string& t : {token, token_}) {
    EXPECT_EQ(Client().Get(("/?token=" + t).c_str())->status, 303);
    EXPECT_EQ(Client().Get(("/?token=" + t).c_str())->status, 403);
  }
}

// A sheet with every kind of wrong number, good rows and one number twice (rows 7 and 9).
constexpr std::string_view kBadRows =
    "전화,이름\n"
    ",김빈칸\n"
    "abc,이문자\n"
    "+82 10 5555 6666,박국제\n"
    "02-123-4567,최유선\n"
    "1588-1234,정대표\n"
    "010-1111-2222,한가람\n"
    "010-3333-4444,윤보라\n"
    "01011112222,한가람둘\n";

std::vector<std::string> Recipients(const testing::GateJob& job) {
  std::vector<std::string> numbers;
  for (const testing::GateMessage& m : job.messages) numbers.push_back(m.recipient);
  return numbers;
}

TEST_F(UiServerTest, TheWorkbookCheckNamesEveryRowLeftOutAndMeasuresColumns) {
  LogIn();
  const auto listed =
      Post("/api/workbook", {{"workbook", std::string(kBadRows), "bad.csv", "text/csv"}});
  ASSERT_TRUE(listed);
  ASSERT_EQ(listed->status, 200) << listed->body;
  const auto check = Post("/api/workbook/check", {{"sheet", "bad", "", ""},
                                                  {"phone", "전화", "", ""},
                                                  {"callback", "02-123-4567", "", ""},
                                                  {"text", "[이름:8]님 안녕하세요", "", ""}});
  ASSERT_TRUE(check);
  const std::string& body = check->body;
  for (const char* fact :
       {"\"rows\":8", "\"messages\":4", "\"invalid\":4", "\"kind\":\"SMS\"",
        "\"blocks\":[\"invalid-rows\"]", "\"callback\":\"021234567\"",
        R"({"row":2,"what":"phone","problem":"empty","cell":""})",
        R"({"row":3,"what":"phone","problem":"not-digits","cell":"abc"})",
        R"({"row":5,"what":"phone","problem":"not-mobile","cell":"02-123-4567"})",
        R"({"row":6,"what":"phone","problem":"not-mobile","cell":"1588-1234"})"}) {
    EXPECT_NE(body.find(fact), std::string::npos) << fact << " in " << body;
  }
  EXPECT_EQ(body.find("Exception"), std::string::npos);

  // Each number once: the second 010-1111-2222 is a duplicate.
  const auto once = Post("/api/workbook/check", {{"sheet", "bad", "", ""},
                                                 {"phone", "전화", "", ""},
                                                 {"callback", "02-123-4567", "", ""},
                                                 {"text", "[이름:8]님", "", ""},
                                                 {"dedupe", "1", "", ""}});
  ASSERT_TRUE(once);
  EXPECT_NE(once->body.find("\"messages\":3"), std::string::npos) << once->body;
  EXPECT_NE(once->body.find("\"duplicates\":1"), std::string::npos) << once->body;

  // A cut value: the whole value and what is kept, with their bytes.
  const auto cut = Post("/api/workbook/check", {{"sheet", "bad", "", ""},
                                                {"phone", "전화", "", ""},
                                                {"callback", "02-123-4567", "", ""},
                                                {"text", "[이름:2]님", "", ""}});
  ASSERT_TRUE(cut);
  EXPECT_NE(
      cut->body.find(
          R"({"row":4,"column":"이름","value":"박국제","value_bytes":6,"kept":"박","kept_bytes":2})"),
      std::string::npos)
      << cut->body;

  // The width of a column: its longest value over every row sent ("한가람둘", 8 bytes), not
  // only the first rows.
  const auto width =
      Post("/api/workbook/width",
           {{"sheet", "bad", "", ""}, {"phone", "전화", "", ""}, {"column", "이름", "", ""}});
  ASSERT_TRUE(width);
  EXPECT_NE(width->body.find("\"bytes\":8"), std::string::npos) << width->body;
}

// What a workbook send takes, send after send: the same check as the page's, enforced here.
TEST_F(UiServerTest, AWorkbookSendReachesExactlyTheValidNumbers) {
  LogIn();
  ASSERT_EQ(
      Post("/api/workbook", {{"workbook", std::string(kBadRows), "bad.csv", "text/csv"}})->status,
      200);
  struct Case {
    const char* what;
    httplib::MultipartFormDataItems fields;
    int status;
    const char* said;                     // in the answer
    std::vector<std::string> recipients;  // of the job it made; none when refused
    std::string first_text;               // UTF-8
  };
  const std::vector<Case> cases = {
      {"rows with wrong numbers need the user's yes",
       {},
       422,
       "\"blocks\":[\"invalid-rows\"]",
       {},
       ""},
      {"values cut need the user's yes",
       {{"skip_invalid", "1", "", ""}, {"text", "[이름:2]님", "", ""}},
       422,
       "\"blocks\":[\"cut-values\"]",
       {},
       ""},
      {"the valid rows only, +82 normalised",
       {{"skip_invalid", "1", "", ""}},
       200,
       "\"left_out\":4",
       {"01055556666", "01011112222", "01033334444", "01011112222"},
       "박국제님"},
      {"each number once, the first row keeping it",
       {{"skip_invalid", "1", "", ""}, {"dedupe", "1", "", ""}},
       200,
       "\"duplicates\":1",
       {"01055556666", "01011112222", "01033334444"},
       "박국제님"},
      {"cut values once the user said yes",
       {{"skip_invalid", "1", "", ""}, {"allow_cut", "1", "", ""}, {"text", "[이름:2]님", "", ""}},
       200,
       "\"ok\":true",
       {"01055556666", "01011112222", "01033334444", "01011112222"},
       "박님"},
  };
  size_t jobs = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    httplib::MultipartFormDataItems fields = c.fields;
    for (const auto& field :
         std::vector<std::pair<std::string, std::string>>{{"sheet", "bad"},
                                                          {"phone", "전화"},
                                                          {"callback", "02-123-4567"},
                                                          {"text", "[이름:8]님"}}) {
      const std::string& name = field.first;
      const bool given =
          std::any_of(fields.begin(), fields.end(), [&](const auto& f) { return f.name == name; });
      if (!given) fields.push_back({name, field.second, "", ""});
    }
    const auto sent = Post("/api/workbook/send", fields);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->status, c.status) << sent->body << engine_->Log();
    EXPECT_NE(sent->body.find(c.said), std::string::npos) << sent->body;
    if (c.recipients.empty()) continue;
    const std::vector<testing::GateJob> recorded = gate_.WaitForJobs(++jobs);
    ASSERT_EQ(recorded.size(), jobs);
    EXPECT_EQ(Recipients(recorded.back()), c.recipients);
    EXPECT_EQ(recorded.back().messages.front().text, Utf8ToAnsi(c.first_text));
  }
  // The refused sends made no job.
  EXPECT_EQ(gate_.Jobs().size(), jobs);
}

TEST_F(UiServerTest, PicturesAreJudgedByTheirBytesAsTheyAreChosen) {
  const std::string jpeg = "\xFF\xD8\xFF\xE0";
  struct Case {
    const char* name;
    std::string content;
    const char* problem;
  };
  const std::vector<Case> cases = {
      {"photo.jpg", jpeg + std::string(1000, 'x'), ""},
      {"limit.jpg", jpeg + std::string(300 * 1024 - jpeg.size(), 'x'), ""},
      {"over.jpg", jpeg + std::string(300 * 1024 - jpeg.size() + 1, 'x'), "too-large"},
      {"shot.png", "\x89PNG\r\n\x1A\n" + std::string(100, 'x'), "not-jpeg"},
      {"renamed.jpg", "GIF89a" + std::string(100, 'x'), "not-jpeg"},
      {"empty.jpg", "", "not-jpeg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto verdict =
        Post("/api/pictures/check", {{"pictures", c.content, c.name, "image/jpeg"}});
    ASSERT_TRUE(verdict);
    EXPECT_NE(
        verdict->body.find(std::string(R"("name":")") + c.name + R"(","bytes":)" +
                           std::to_string(c.content.size()) + R"(,"problem":")" + c.problem + "\""),
        std::string::npos)
        << verdict->body;
    EXPECT_NE(verdict->body.find(std::string("\"all_good\":") + (*c.problem ? "false" : "true")),
              std::string::npos);
  }
  // Four good pictures are one too many; no path of the server's is ever named.
  httplib::MultipartFormDataItems four;
  for (int i = 0; i < 4; ++i)
    four.push_back({"pictures", jpeg, "p" + std::to_string(i) + ".jpg", ""});
  const auto many = Post("/api/pictures/check", four);
  ASSERT_TRUE(many);
  EXPECT_NE(many->body.find("\"too_many\":true"), std::string::npos) << many->body;
  EXPECT_NE(many->body.find("\"max_bytes\":307200"), std::string::npos);
  EXPECT_EQ(many->body.find("/tmp"), std::string::npos);

  // A send with a picture that is no JPEG is refused by name, never by the upload's path.
  LogIn();
  const auto sent = Post("/api/send", {{"to", "01012345678", "", ""},
                                       {"text", "사진", "", ""},
                                       {"callback", "02-123-4567", "", ""},
                                       {"pictures", "\x89PNG\r\n\x1A\n", "shot.png", "image/png"}});
  ASSERT_TRUE(sent);
  EXPECT_EQ(sent->status, 422);
  EXPECT_NE(sent->body.find(R"({"name":"shot.png","problem":"not-jpeg"})"), std::string::npos)
      << sent->body;
  EXPECT_EQ(sent->body.find("/tmp"), std::string::npos);
  EXPECT_TRUE(gate_.Jobs().empty());
}

}  // namespace
}  // namespace parley
