#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testing/engine_process.h"
#include "testing/web_sim_process.h"

namespace parley::testing {
namespace {

struct Reply {
  bool answered = false;  // any byte came back
  int status = 0;         // 0 when the bytes are not an HTTP reply
  std::string head;
  std::string body;
  std::string raw;
};

// A connection to the simulator; sends raw bytes and reads until the server closes or
// `timeout_ms` passes without a byte.
class Connection {
 public:
  explicit Connection(uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  }
  ~Connection() { ::close(fd_); }

  void Send(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
  }

  Reply Receive(int timeout_ms = 5000) {
    timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    Reply reply;
    char buffer[4096];
    for (;;) {
      ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      reply.raw.append(buffer, static_cast<size_t>(n));
    }
    reply.answered = !reply.raw.empty();
    size_t end = reply.raw.find("\r\n\r\n");
    if (reply.raw.starts_with("HTTP/1.") && end != std::string::npos) {
      reply.status = std::atoi(reply.raw.c_str() + 9);
      reply.head = reply.raw.substr(0, end + 2);
      reply.body = reply.raw.substr(end + 4);
    }
    return reply;
  }

 private:
  int fd_;
};

Reply Exchange(uint16_t port, std::string_view request) {
  Connection c(port);
  c.Send(request);
  return c.Receive();
}

std::string CookieLine(const std::string& cookie) {
  return cookie.empty() ? "" : "Cookie: " + cookie + "\r\n";
}

Reply Get(uint16_t port, const std::string& target, const std::string& cookie = "") {
  return Exchange(
      port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + CookieLine(cookie) + "\r\n");
}

Reply Post(uint16_t port, const std::string& target, const std::string& form,
           const std::string& cookie = "") {
  return Exchange(port, "POST " + target +
                            " HTTP/1.0\r\nContent-Type: application/x-www-form-urlencoded\r\n" +
                            CookieLine(cookie) + "Content-Length: " + std::to_string(form.size()) +
                            "\r\n\r\n" + form);
}

// Logs in and returns "NAME=VALUE" of the session cookie; empty when refused.
std::string Login(uint16_t port, const std::string& id, const std::string& password) {
  Reply r = Post(port, "/QX/loginok.asp",
                 "loginid=" + id + "&loginpass=" + password + "&lmode=QX&Ver=1.0.0.2");
  size_t at = r.head.find("Set-Cookie: ");
  if (!r.body.starts_with("1") || at == std::string::npos) return "";
  size_t start = at + 12;
  return r.head.substr(start, r.head.find_first_of(";\r", start) - start);
}

std::vector<std::string> Split(const std::string& text, std::string_view separator) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at - start));
    if (at == std::string::npos) return parts;
    start = at + separator.size();
  }
}

class WebSimTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(WebSimTest, LoginSetsTheCookieThatEveryOtherPageRequires) {
  WebSim sim(dir_.path());
  struct Case {
    std::string form;
    char first;
  } logins[] = {
      {"loginid=qxuser&loginpass=qxpass&lmode=QX&Ver=1.0.0.2", '1'},
      {"loginid=qxuser&loginpass=wrong&lmode=QX&Ver=", '0'},
      {"loginid=nobody&loginpass=qxpass&lmode=QX&Ver=", '0'},
      {"loginid=QXUSER&loginpass=qxpass&lmode=QX&Ver=", '0'},
      {"", '0'},
  };
  for (const auto& c : logins) {
    Reply r = Post(sim.port(), "/QX/loginok.asp", c.form);
    EXPECT_EQ(r.status, 200) << c.form;
    ASSERT_FALSE(r.body.empty()) << c.form;
    EXPECT_EQ(r.body[0], c.first) << c.form;
    EXPECT_EQ(r.head.find("Set-Cookie:") != std::string::npos, c.first == '1') << c.form;
    EXPECT_NE(r.head.find("Connection: close"), std::string::npos);
  }
  // The login reads its form from the body only.
  EXPECT_EQ(Get(sim.port(), "/QX/loginok.asp?loginid=qxuser&loginpass=qxpass").body[0], '0');

  std::string cookie = Login(sim.port(), "qxuser", "qxpass");
  ASSERT_TRUE(cookie.starts_with("ASPSESSIONID")) << cookie;
  const std::string pages[] = {
      "/Ajax/GetUserInfo.asp",
      "/Ajax/GetCatText.asp?type=1&gubun=1",
      "/Ajax/GetEmoticonCNT.asp?gseq=&type=1&mode=",
      "/Ajax/GetEmoticon.asp?gseq=&type=1&mode=&pg=1&ps=5",
      "/Ajax/GetEmoticonCNT.asp?mode=user&type=SMS",
      "/Ajax/GetEmoticon.asp?mode=user&type=SMS&ps=5&pg=1",
      "/Ajax/GetSendResultCNT.asp?sdate=&edate=",
      "/Ajax/GetSendStatCNT.asp?sdate=&edate=&msgtype=&account=&rsltcode=&numflag=&phone=",
      "/Ajax/GetSendStat.asp?sdate=&edate=&msgtype=&account=&rsltcode=&numflag=&phone=&pg=1&ps=5",
      "/Ajax/GetDailyStat.asp?syy=2024&smm=1&eyy=2024&emm=12",
  };
  std::string bogus = cookie.substr(0, cookie.find('=') + 1) + "NOTASESSION";
  for (const auto& page : pages) {
    EXPECT_EQ(Get(sim.port(), page).body, "2") << page;
    EXPECT_EQ(Get(sim.port(), page, bogus).body, "2") << page;
    Reply r = Get(sim.port(), page, cookie);
    EXPECT_EQ(r.status, 200) << page;
    EXPECT_NE(r.body, "2") << page;
    EXPECT_FALSE(r.body.empty()) << page;
  }
  EXPECT_EQ(Post(sim.port(), "/QX/sendablecheck.asp", "type=SMS&totcnt=1&reserdate=").body, "2");
  EXPECT_EQ(Get(sim.port(), "/QX/nosuchpage.asp", cookie).status, 404);

  Get(sim.port(), "/Member/logout.asp?lmode=QX", cookie);
  EXPECT_EQ(Get(sim.port(), "/Ajax/GetUserInfo.asp", cookie).body, "2");
}

TEST_F(WebSimTest, SendCheckFollowsTheBalanceAndSentReportsUseItUp) {
  WebSim sim(dir_.path(), {"--user", "small:pw:30", "--user", "flat:pw:flat"});
  std::string cookie = Login(sim.port(), "small", "pw");
  ASSERT_FALSE(cookie.empty());
  auto check = [&](const std::string& form) {
    return Post(sim.port(), "/QX/sendablecheck.asp", form, cookie).body;
  };
  struct Case {
    std::string form;
    char first;
  } checks[] = {
      {"type=SMS&totcnt=30&reserdate=", '1'},  {"type=SMS&totcnt=31&reserdate=", '0'},
      {"type=LMS&totcnt=10&reserdate=", '1'},  {"type=LMS&totcnt=11&reserdate=", '0'},
      {"type=MMS&totcnt=3&reserdate=", '1'},   {"type=MMS&totcnt=4&reserdate=", '0'},
      {"type=XYZ&totcnt=1&reserdate=", '9'},   {"type=SMS&totcnt=0&reserdate=", '9'},
      {"type=SMS&totcnt=abc&reserdate=", '9'}, {"type=SMS&totcnt=99999999999999&reserdate=", '9'},
  };
  for (const auto& c : checks) {
    std::string body = check(c.form);
    ASSERT_FALSE(body.empty()) << c.form;
    EXPECT_EQ(body[0], c.first) << c.form << " -> " << body;
    EXPECT_NE(body.find("<COL>"), std::string::npos) << body;
    EXPECT_NE(body.find("<BR>"), std::string::npos) << body;
  }

  // A sent report of 25 short messages leaves 5; its message arrives decoded.
  std::string report =
      "jobid=J42&type=SMS&totcnt=25&title=T&msg=a%26b%3Dc%25d+e&resflag=1&reserdate=&"
      "fromnumber=0101234";
  EXPECT_EQ(Post(sim.port(), "/QX/sended.asp", report, cookie).body, "1<COL>J42\r\n");
  EXPECT_EQ(Post(sim.port(), "/QX/sended.asp", "", cookie).body[0], '0');
  EXPECT_EQ(check("type=SMS&totcnt=6&reserdate=")[0], '0');
  EXPECT_EQ(check("type=SMS&totcnt=5&reserdate=")[0], '1');

  std::vector<std::string> info =
      Split(Get(sim.port(), "/Ajax/GetUserInfo.asp", cookie).body, "<COL>");
  ASSERT_GE(info.size(), 12u);
  EXPECT_EQ(info[4], "62.50");
  EXPECT_EQ(info[6], "1");
  EXPECT_EQ(info[11], "SMS:5,TXT:1,IMT:0,");

  std::string stat = "?sdate=&edate=&msgtype=&account=&rsltcode=&numflag=&phone=";
  EXPECT_EQ(Get(sim.port(), "/Ajax/GetSendStatCNT.asp" + stat, cookie).body, "1");
  std::vector<std::string> row =
      Split(Get(sim.port(), "/Ajax/GetSendStat.asp" + stat + "&pg=1&ps=10", cookie).body, "<COL>");
  ASSERT_GE(row.size(), 14u);
  EXPECT_EQ(row[1], "J42");
  EXPECT_EQ(row[5], "0101234");
  EXPECT_EQ(row[7], "a&b=c%d+e");
  EXPECT_EQ(row[13], "25");
  EXPECT_EQ(Get(sim.port(), "/Ajax/GetSendResultCNT.asp?sdate=&edate=", cookie).body,
            "25<COL>25<COL>0<COL>0");

  // An unlimited account is never refused and shows the flat-rate flag.
  std::string flat = Login(sim.port(), "flat", "pw");
  EXPECT_EQ(
      Post(sim.port(), "/QX/sendablecheck.asp", "type=MMS&totcnt=5000000&reserdate=", flat).body[0],
      '1');
  EXPECT_EQ(Split(Get(sim.port(), "/Ajax/GetUserInfo.asp", flat).body, "<COL>").at(6), "0");

  // A reset restores the balance and ends every session.
  EXPECT_EQ(sim.Control("/_sim/reset"), "OK");
  EXPECT_EQ(check("type=SMS&totcnt=1&reserdate="), "2");
  cookie = Login(sim.port(), "small", "pw");
  EXPECT_EQ(check("type=SMS&totcnt=30&reserdate=")[0], '1');
}

TEST_F(WebSimTest, RecordsEveryPageRequestByteForByte) {
  WebSim sim(dir_.path());
  std::string cp949_body = "msg=\xC7\xD1\xB1\xDB&x=\x01\x00\xFF";
  cp949_body.push_back('\0');
  const std::string requests[] = {
      "GET /Ajax/GetUserInfo.asp HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: Parley\r\n\r\n",
      "POST /QX/loginok.asp HTTP/1.0\r\nContent-Length: " + std::to_string(cp949_body.size()) +
          "\r\n\r\n" + cp949_body,
      "GET /Ajax/GetCatText.asp?type=\xB0\xA1 HTTP/1.0\nX-Odd:  spaced \n\n",
      "POST /QX/sended.asp HTTP/1.0\r\nContent-Length: 0\r\n\r\n",
  };
  for (const auto& request : requests) {
    // Sent in small pieces: the record is still the whole request.
    Connection c(sim.port());
    for (size_t at = 0; at < request.size(); at += 7) {
      c.Send(std::string_view(request).substr(at, 7));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(c.Receive().status, 200);
    sim.Control("/_sim/reset");  // controls are not recorded
  }
  std::vector<std::string> recorded = sim.Requests();
  ASSERT_EQ(recorded.size(), std::size(requests));
  for (size_t i = 0; i < recorded.size(); ++i) EXPECT_EQ(recorded[i], requests[i]) << i;

  // Malformed and oversized requests are refused, and recorded as far as they were read.
  struct Case {
    std::string request;
    int status;
  } refused[] = {
      {"NONSENSE\r\n\r\n", 400},
      {"GET /Ajax/GetUserInfo.asp HTTP/2.0\r\n\r\n", 400},
      {"POST /QX/sended.asp HTTP/1.0\r\nContent-Length: x1\r\n\r\n", 400},
      {"POST /QX/sended.asp HTTP/1.0\r\nContent-Length: 1048577\r\n\r\n", 413},
      {"POST /QX/sended.asp HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 501},
      {"GET /" + std::string(1 << 20, 'a') + " HTTP/1.0\r\n\r\n", 413},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(Exchange(sim.port(), c.request).status, c.status) << c.request.substr(0, 60);
  }
  EXPECT_EQ(sim.Requests().size(), std::size(requests) + std::size(refused));
  // A body of exactly the cap is taken.
  std::string big(1 << 20, 'm');
  EXPECT_EQ(Post(sim.port(), "/QX/sended.asp", big).status, 200);
}

TEST_F(WebSimTest, StallAndFailControlsHitTheNextPageRequests) {
  WebSim sim(dir_.path());
  std::string cookie = Login(sim.port(), "qxuser", "qxpass");
  const std::string page = "/Ajax/GetEmoticonCNT.asp?mode=user&type=SMS";

  // A stalled request is answered after the wait.
  ASSERT_EQ(sim.Control("/_sim/stall?seconds=0.3&count=1"), "OK");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Get(sim.port(), page, cookie).body, "12");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));

  // A client that gives up on a stalled request leaves nothing pending: the request is
  // dropped and the next one is answered.
  ASSERT_EQ(sim.Control("/_sim/stall?seconds=600&count=1"), "OK");
  {
    Connection c(sim.port());
    const std::string form = "msg=x&subject=y&msgtype=SMS";
    c.Send("POST /Ajax/SaveEmoticon.asp HTTP/1.0\r\n" + CookieLine(cookie) +
           "Content-Length: " + std::to_string(form.size()) + "\r\n\r\n" + form);
    EXPECT_FALSE(c.Receive(300).answered);
  }
  EXPECT_EQ(Get(sim.port(), page, cookie).body, "12");

  struct Case {
    std::string control;
    int failures;
    bool answered;
    int status;
  } fails[] = {
      {"/_sim/fail?mode=close", 1, false, 0},
      {"/_sim/fail?mode=500&count=2", 2, true, 500},
      {"/_sim/fail?mode=garbage&count=1", 1, true, 0},
  };
  for (const auto& c : fails) {
    ASSERT_EQ(sim.Control(c.control), "OK") << c.control;
    for (int i = 0; i < c.failures; ++i) {
      Reply r = Get(sim.port(), page, cookie);
      EXPECT_EQ(r.answered, c.answered) << c.control;
      EXPECT_EQ(r.status, c.status) << c.control;
    }
    EXPECT_EQ(Get(sim.port(), page, cookie).body, "12") << c.control;
  }

  // A status comes with the page's own body; a filler page replaces the body.
  struct Override {
    std::string control;
    int status;
    std::string body;
  } overrides[] = {
      {"/_sim/status?code=500&count=2", 500, "12"},
      {"/_sim/status?code=302", 302, "12"},
      {"/_sim/page?bytes=5&count=2", 200, "xxxxx"},
      {"/_sim/page?bytes=0", 200, ""},
  };
  for (const auto& c : overrides) {
    ASSERT_EQ(sim.Control(c.control), "OK") << c.control;
    const int times = c.control.ends_with("count=2") ? 2 : 1;
    for (int i = 0; i < times; ++i) {
      Reply r = Get(sim.port(), page, cookie);
      EXPECT_EQ(r.status, c.status) << c.control;
      EXPECT_EQ(r.body, c.body) << c.control;
    }
    Reply after = Get(sim.port(), page, cookie);
    EXPECT_EQ(after.status, 200) << c.control;
    EXPECT_EQ(after.body, "12") << c.control;
  }

  const std::string bad_controls[] = {"/_sim/fail?mode=explode",
                                      "/_sim/stall?seconds=abc",
                                      "/_sim/stall?seconds=1&count=0",
                                      "/_sim/status?code=99",
                                      "/_sim/status",
                                      "/_sim/page?bytes=-1",
                                      "/_sim/page?bytes=67108865",
                                      "/_sim/nothing"};
  for (const auto& control : bad_controls) {
    EXPECT_TRUE(sim.Control(control).starts_with("ERROR")) << control;
  }
  EXPECT_EQ(Get(sim.port(), page, cookie).body, "12");
}

TEST_F(WebSimTest, ListsArePagedByPgAndPs) {
  WebSim sim(dir_.path());
  std::string cookie = Login(sim.port(), "qxuser", "qxpass");
  const std::string stat =
      "/Ajax/GetSendStat.asp?sdate=2024-03-01&edate=2024-03-31&msgtype=&account=&rsltcode=&"
      "numflag=&phone=";
  struct Case {
    std::string target;
    size_t rows;
    std::string first;  // column 0 of the first row
  } cases[] = {
      {stat + "&pg=1&ps=10", 10, "23"},
      {stat + "&pg=3&ps=10", 3, "3"},
      {stat + "&pg=4&ps=10", 0, ""},
      {stat + "&pg=2&ps=0", 10, "13"},  // no page size: 10
      {stat + "&pg=0&ps=5", 5, "23"},   // no page: the first
      {"/Ajax/GetEmoticon.asp?gseq=&type=1&mode=&pg=2&ps=10", 10, "101011"},
      {"/Ajax/GetEmoticon.asp?gseq=102&type=1&mode=&pg=1&ps=5", 5, "102001"},
      {"/Ajax/GetEmoticon.asp?gseq=999&type=1&mode=&pg=1&ps=5", 0, ""},
      {"/Ajax/GetEmoticon.asp?mode=user&type=SMS&ps=5&pg=3", 2, "2"},
      {"/Ajax/GetEmoticon.asp?mode=user&type=LMS&ps=5&pg=1", 3, "15"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> rows = Split(Get(sim.port(), c.target, cookie).body, "<BR>");
    ASSERT_EQ(rows.size(), c.rows) << c.target;
    if (c.rows > 0) {
      EXPECT_EQ(Split(rows[0], "<COL>")[0], c.first) << c.target;
    }
    if (c.target.starts_with(stat)) {
      for (const auto& row : rows) EXPECT_GE(Split(row, "<COL>").size(), 14u) << row;
    }
  }

  struct Count {
    std::string target;
    std::string body;
  } counts[] = {
      {"/Ajax/GetEmoticonCNT.asp?gseq=&type=1&mode=", "23"},
      {"/Ajax/GetEmoticonCNT.asp?mode=user&type=LMS", "3"},
      {"/Ajax/GetSendStatCNT.asp?sdate=&edate=&msgtype=MMS&account=&rsltcode=&numflag=&phone=",
       "4"},
      {"/Ajax/GetSendStatCNT.asp?sdate=20240310&edate=20240319&msgtype=&account=&rsltcode=&"
       "numflag=&phone=",
       "10"},
      {"/Ajax/GetSendResultCNT.asp?sdate=2024-03-01&edate=2024-03-31", "66<COL>62<COL>3<COL>1"},
  };
  for (const auto& c : counts) EXPECT_EQ(Get(sim.port(), c.target, cookie).body, c.body);

  // A saved message heads the user's list.
  std::string saved =
      Post(sim.port(), "/Ajax/SaveEmoticon.asp", "msg=new&subject=s&msgtype=SMS", cookie).body;
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\''), 2) << saved;
  std::string first =
      Get(sim.port(), "/Ajax/GetEmoticon.asp?mode=user&type=SMS&ps=1&pg=1", cookie).body;
  EXPECT_EQ(Split(first, "<COL>").at(2), "new");

  // The first catalogue page carries a backtick and a numeric entity for the client to
  // normalise.
  std::string catalogue =
      Get(sim.port(), "/Ajax/GetEmoticon.asp?gseq=&type=1&mode=&pg=1&ps=10", cookie).body;
  EXPECT_NE(catalogue.find('`'), std::string::npos);
  EXPECT_NE(catalogue.find("&#39;"), std::string::npos);
}

}  // namespace
}  // namespace parley::testing
