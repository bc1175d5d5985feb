// The content handlers in-process, against the web service simulator, logged in as the
// simulator's built-in user.
#include "commands/content_commands.h"

#include <chrono>
#include <functional>

#include <gtest/gtest.h>
#include <asio/io_context.hpp>

#include "engine/engine_services.h"
#include "testing/await.h"
#include "testing/engine_process.h"
#include "text/cp949.h"
#include "web/endpoints.h"
#include "web/web_service.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

using namespace std::chrono_literals;

std::string Ko(std::string_view utf8) { return Utf8ToAnsi(utf8); }

size_t Count(std::string_view text, std::string_view what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) {
    ++n;
  }
  return n;
}

class ContentCommandsTest : public ::testing::Test {
 protected:
  ContentCommandsTest()
      : sim_(dir_.path()), services_(io_.get_executor(), Config()), reader_(sim_.port()) {
    EXPECT_EQ(testing::Await(io_, services_.web().Login("qxuser", "qxpass")), '1');
    LogIn(reader_);
  }

  EngineConfig Config() const {
    EngineConfig c;
    c.web_base = sim_.base_url();
    c.web_port = sim_.port();
    c.web_timeout_seconds = 2;
    return c;
  }

  void LogIn(CWebClient& web) {
    const WebRequest login = RequestFor(sim_.base_url(), Endpoint::kLogin, {"qxuser", "qxpass"});
    testing::Await(io_, web.PostForm(login.form, login.target.server, login.target.object));
    ASSERT_EQ(web.reply().substr(0, 1), "1") << web.reply();
  }

  // A page as the web client reads it, fetched on a session of its own.
  std::string Page(const std::string& object) {
    testing::Await(io_, reader_.GetPage("127.0.0.1", object));
    return reader_.reply();
  }

  // The request lines received since `from`.
  std::vector<std::string> RequestLines(size_t from) const {
    std::vector<std::string> lines;
    const std::vector<std::string> all = sim_.Requests();
    for (size_t i = from; i < all.size(); ++i)
      lines.push_back(all[i].substr(0, all[i].find("\r\n")));
    return lines;
  }

  testing::TempDir dir_;
  testing::WebSim sim_;
  asio::io_context io_;
  EngineServices services_;
  CWebClient reader_;
};

using Handler = asio::awaitable<std::string> (*)(EngineServices&, std::string);

struct Case {
  Handler handler;
  std::string body;
  std::vector<std::string> requests;
  std::function<std::string()> reply;
};

TEST_F(ContentCommandsTest, RepliesAndRequests) {
  const std::string march = "<QX>20240301<QX>20240331";
  const std::string saved_sms_page_2 = "/Ajax/GetEmoticon.asp?mode=user&type=SMS&ps=10&pg=2";
  const std::string saved_lms = "/Ajax/GetEmoticon.asp?mode=user&type=LMS&ps=10&pg=1";
  const std::string first_page = "/Ajax/GetEmoticon.asp?gseq=&type=SMS&mode=&pg=1&ps=10";
  const std::string cat_text = "/Ajax/GetCatText.asp?type=SMS&gubun=1";
  const std::string group_page = "/Ajax/GetEmoticon.asp?gseq=102&type=SMS&mode=&pg=1&ps=5";
  const std::string stat_query = "sdate=20240301&edate=20240331&msgtype=&account=&rsltcode=&";
  const std::string list = "/Ajax/GetSendStat.asp?" + stat_query + "numflag=&phone=&pg=1&ps=3";
  const std::string daily = "/Ajax/GetDailyStat.asp?syy=2024&smm=3&eyy=2024&emm=3";
  // The newest of the simulator's March jobs, as a list row.
  const std::string newest_row = "23<QX>2024-03-23 13:34:00<QX>LMS<QX>0212345678<QX>" +
                                 Ko("제목없음") + "<QX>" + Ko("전송완료") + "<QX>3<END>";

  const Case cases[] = {
      {&OnMyMsg,
       "CNT<QX>2<QX>10",
       {"GET /Ajax/GetEmoticonCNT.asp?mode=user&type=SMS HTTP/1.0",
        "GET /Ajax/GetEmoticonCNT.asp?mode=user&type=LMS HTTP/1.0",
        "GET " + saved_sms_page_2 + " HTTP/1.0"},
       [&] { return "CNT<QX>12<QX>3<QX>" + Page(saved_sms_page_2); }},
      {&OnMyMsg,
       "LMS<QX>1<QX>10",
       {"GET " + saved_lms + " HTTP/1.0"},
       [&] { return "LMS<QX>" + Page(saved_lms); }},
      {&OnMyMsg, "cnt<QX>1<QX>10", {}, [] { return std::string(); }},
      {&OnMyMsg, "", {}, [] { return std::string(); }},
      {&OnMyMsg,
       "SAVE<QX>hello<QX>subject<QX>SMS",
       {"POST /Ajax/SaveEmoticon.asp HTTP/1.0"},
       [] { return "SAVE<QX>" + Ko("저장되었습니다."); }},
      {&OnMyMsg,
       "CNT<QX>1<QX>1",
       {"GET /Ajax/GetEmoticonCNT.asp?mode=user&type=SMS HTTP/1.0",
        "GET /Ajax/GetEmoticonCNT.asp?mode=user&type=LMS HTTP/1.0",
        "GET /Ajax/GetEmoticon.asp?mode=user&type=SMS&ps=1&pg=1 HTTP/1.0"},
       [&] {
         return "CNT<QX>13<QX>3<QX>" + Page("/Ajax/GetEmoticon.asp?mode=user&type=SMS&ps=1&pg=1");
       }},
      {&OnEmotn,
       "<FIRST>SMS<QX>1<QX>10",
       {"GET " + cat_text + " HTTP/1.0",
        "GET /Ajax/GetEmoticonCNT.asp?gseq=&type=SMS&mode= HTTP/1.0",
        "GET " + first_page + " HTTP/1.0"},
       [&] { return "<FIRST>" + Page(cat_text) + "<QX>23<QX>" + Page(first_page); }},
      {&OnEmotn,
       "SMS<QX>102<QX>1<QX>5",
       {"GET /Ajax/GetEmoticonCNT.asp?gseq=102&type=SMS&mode= HTTP/1.0",
        "GET " + group_page + " HTTP/1.0"},
       [&] { return "8<QX>" + Page(group_page); }},
      // "<FIRST>" after a space: the catalogue case, its second field the group.
      {&OnEmotn,
       " <FIRST>SMS<QX>1<QX>5",
       {"GET /Ajax/GetEmoticonCNT.asp?gseq=1&type=%20<FIRST>SMS&mode= HTTP/1.0",
        "GET /Ajax/GetEmoticon.asp?gseq=1&type=%20<FIRST>SMS&mode=&pg=5&ps= HTTP/1.0"},
       [] { return std::string("0<QX>"); }},
      {&OnSendL,
       "1" + march + "<QX>NULL<QX>NULL<QX>1<QX>3<QX><QX>",
       {"GET /Ajax/GetSendResultCNT.asp?sdate=20240301&edate=20240331 HTTP/1.0",
        "GET " + list + " HTTP/1.0"},
       [] { return std::string("1<QX>66,62,3,1<DATA>"); }},
      {&OnSendL,
       "2" + march + "<QX>NULL<QX>NULL<QX>1<QX>3<QX><QX>",
       {"GET " + list + " HTTP/1.0"},
       [] { return std::string("2<DATA>"); }},
      {&OnSendL,
       "3" + march + "<QX>NULL<QX>NULL<QX>1<QX>3<QX><QX>",
       {"GET /Ajax/GetSendStatCNT.asp?" + stat_query + "numflag=&phone= HTTP/1.0",
        "GET " + list + " HTTP/1.0"},
       [] { return std::string("3<QX>23,0,0,23<DATA>"); }},
      {&OnCashL,
       "2024<QX>3<QX>2024<QX>3",
       {"GET " + daily + " HTTP/1.0"},
       [&] { return Page(daily); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    const size_t before = sim_.Requests().size();
    const std::string reply = testing::Await(io_, c.handler(services_, c.body));
    EXPECT_EQ(RequestLines(before), c.requests);
    const std::string expected = c.reply();
    if (c.handler == &OnSendL) {
      // The count text, then the list of the three newest jobs, newest first.
      ASSERT_EQ(reply.substr(0, expected.size()), expected);
      const std::string listed = reply.substr(expected.size());
      EXPECT_EQ(listed.substr(0, newest_row.size()), newest_row);
      EXPECT_EQ(Count(listed, "<END>"), 3u);
      EXPECT_EQ(Count(listed, "<QX>"), 18u);
    } else {
      EXPECT_EQ(reply, expected);
    }
  }
}

TEST_F(ContentCommandsTest, WebMarkupPassesThroughNormalised) {
  const std::string daily = testing::Await(io_, OnCashL(services_, "2024<QX>3<QX>2024<QX>3"));
  EXPECT_NE(daily.find("<COL>"), std::string::npos) << daily;
  EXPECT_NE(daily.find("<BR>"), std::string::npos) << daily;
  // The catalogue's first page has a text with a backtick and one with "&#39;".
  const std::string first = testing::Await(io_, OnEmotn(services_, "<FIRST>SMS<QX>1<QX>30"));
  EXPECT_NE(first.find("&gacct;"), std::string::npos) << first;
  EXPECT_EQ(first.find('`'), std::string::npos) << first;
  EXPECT_EQ(first.find("&#39;"), std::string::npos) << first;
}

TEST_F(ContentCommandsTest, AFailedRequestLeavesItsPlaceEmpty) {
  sim_.Control("/_sim/stall?seconds=5&count=1");
  // The save times out: nothing between the apostrophes to pass on.
  EXPECT_EQ(testing::Await(io_, OnMyMsg(services_, "SAVE<QX>hello<QX>subject<QX>SMS")), "SAVE<QX>");
  sim_.Control("/_sim/fail?mode=close&count=1");
  EXPECT_EQ(testing::Await(io_, OnMyMsg(services_, "CNT<QX>1<QX>1")).substr(0, 12), "CNT<QX><QX>3");
  sim_.Control("/_sim/fail?mode=close&count=2");
  EXPECT_EQ(testing::Await(io_, OnSendL(services_, "3<QX>20240301<QX>20240331<QX><QX><QX>1<QX>3")),
            "3<QX>,0,0,<DATA>");
}

}  // namespace
}  // namespace parley
