#include "link/link_server.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

#include "link/message.h"
#include "client/link_client.h"
#include "text/cp949.h"

namespace parley {
namespace {

using namespace std::chrono_literals;

// A server whose handler answers "got:" and the body it received (CP949). DSEND waits 300 ms
// first, as a send waits for the gateway; ENDQX answers nothing; EXCEL answers "sent:" and the
// body as it arrived.
class LinkServerTest : public ::testing::Test {
 protected:
  LinkServerTest() : server_(io_, Handler()) {
    server_.SetOnClosed([this] { ++closed_; });
    EXPECT_FALSE(server_.Listen("127.0.0.1", 0));
    server_.Start();
    thread_ = std::thread([this] { io_.run(); });
  }
  ~LinkServerTest() override {
    io_.stop();
    thread_.join();
  }

  static LinkServer::MessageHandler Handler() {
    return [](std::string header, std::string body, std::string sent_body,
              LinkServer::ReplyRoom) -> asio::awaitable<std::string> {
      std::string code = header.substr(0, 5);
      if (code == "DSEND") {
        asio::steady_timer timer(co_await asio::this_coro::executor, 300ms);
        co_await timer.async_wait(asio::use_awaitable);
      }
      if (code == "ENDQX") co_return std::string();
      if (code == "EXCEL") co_return MakeMessage(code, "sent:" + sent_body);
      co_return MakeMessage(code, "got:" + body);
    };
  }

  void Connect(LinkClient& client) {
    std::string error;
    ASSERT_TRUE(client.Connect("127.0.0.1", server_.port(), &error)) << error;
  }

  // Reads one reply and returns its body ("" with a failure on error).
  std::string Reply(LinkClient& client, int timeout_ms = 5000) {
    RawMessage m;
    std::string error;
    if (!client.ReadMessage(&m, timeout_ms, &error)) {
      ADD_FAILURE() << error;
      return "";
    }
    return m.header.substr(0, 5) + " " + m.body;
  }

  asio::io_context io_;
  LinkServer server_;
  std::atomic<int> closed_{0};
  std::thread thread_;
};

TEST_F(LinkServerTest, HeaderAndBodyArrivingInPiecesAreJoined) {
  LinkClient c;
  Connect(c);
  // "안녕" in UTF-8 is EC 95 88 EB 85 95; split the body inside the first character, and the
  // header in three pieces.
  std::string message = MakeMessage("LOGIN", "\xEC\x95\x88\xEB\x85\x95");
  std::string error;
  for (auto [from, to] : {std::pair<size_t, size_t>{0, 3}, {3, 14}, {14, 21}, {21, 26}}) {
    ASSERT_TRUE(c.Write(message.substr(from, to - from), &error));
    std::this_thread::sleep_for(30ms);
  }
  EXPECT_EQ(Reply(c), "LOGIN got:" + Utf8ToAnsi("안녕"));
}

TEST_F(LinkServerTest, HandlersAlsoGetTheBodyAsSent) {
  LinkClient c;
  Connect(c);
  // Text CP949 cannot hold, and bytes that are no UTF-8 at all, arrive unconverted.
  const std::string body = "1<QX>/home/kim/emoji\xF0\x9F\x98\x80 \xC5\x91-accent\xFF.csv";
  std::string error;
  ASSERT_TRUE(c.SendMessage("EXCEL", body, &error)) << error;
  EXPECT_EQ(Reply(c), "EXCEL sent:" + body);
}

TEST_F(LinkServerTest, BodiesAroundTheOldReadSizeAreAnswered) {
  LinkClient c;
  Connect(c);
  std::string error;
  for (size_t length : {0u, 999u, 1000u, 1001u, 12345u, 2000000u}) {
    std::string body(length, 'q');
    ASSERT_TRUE(c.SendMessage("MYMSG", body, &error));
    EXPECT_EQ(Reply(c), "MYMSG got:" + body) << length;
  }
}

TEST_F(LinkServerTest, PipelinedMessagesAreAnsweredInOrder) {
  LinkClient c;
  Connect(c);
  std::string stream;
  for (int i = 0; i < 1000; ++i) stream += MakeMessage("SENDL", std::to_string(i));
  std::string error;
  ASSERT_TRUE(c.Write(stream, &error));
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(Reply(c), "SENDL got:" + std::to_string(i));
}

TEST_F(LinkServerTest, MessagesAreServedWhileAHandlerWaits) {
  LinkClient c;
  Connect(c);
  std::string error;
  ASSERT_TRUE(c.Write(MakeMessage("DSEND", "first") + MakeMessage("LOGIN", "second"), &error));
  EXPECT_EQ(Reply(c), "LOGIN got:second");
  EXPECT_EQ(Reply(c), "DSEND got:first");
  // A message without a reply does not hold up the next one.
  ASSERT_TRUE(c.Write(MakeMessage("ENDQX", "0") + MakeMessage("CASHL", ""), &error));
  EXPECT_EQ(Reply(c), "CASHL got:");
}

TEST_F(LinkServerTest, BadFramingClosesTheConnectionAndRearms) {
  for (std::string bad : {"LOGINQX0.1abc       ", "LOGINQX0.199999999  "}) {
    LinkClient c;
    Connect(c);
    std::string error;
    ASSERT_TRUE(c.Write(MakeMessage("INIT", "") + bad + "xyz", &error));
    EXPECT_EQ(Reply(c), "INITQ got:");  // the good message before it is answered
    EXPECT_TRUE(c.WaitForClose(5000)) << bad;
  }
  LinkClient next;
  Connect(next);
  std::string error;
  ASSERT_TRUE(next.SendMessage("LOGIN", "ok", &error));
  EXPECT_EQ(Reply(next), "LOGIN got:ok");
  EXPECT_EQ(closed_.load(), 2);
}

// A second front end (qx beside the page) is served while the first, the UI program's, stays
// open; only the UI program's end is reported, and the next connection then takes its place.
TEST_F(LinkServerTest, ASecondClientIsServedBesideTheFirst) {
  auto first = std::make_unique<LinkClient>();
  auto second = std::make_unique<LinkClient>();
  Connect(*first);
  Connect(*second);
  std::string error;
  ASSERT_TRUE(second->SendMessage("LOGIN", "second", &error));
  EXPECT_EQ(Reply(*second), "LOGIN got:second");
  ASSERT_TRUE(first->SendMessage("LOGIN", "first", &error));
  EXPECT_EQ(Reply(*first), "LOGIN got:first");
  second.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(closed_.load(), 0) << "a second front end's end is not the UI program's";
  first.reset();
  for (int i = 0; i < 50 && closed_.load() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(closed_.load(), 1);
  LinkClient third;
  Connect(third);
  ASSERT_TRUE(third.SendMessage("LOGIN", "third", &error));
  EXPECT_EQ(Reply(third), "LOGIN got:third");
}

// Another local user's process is closed at once, unanswered; the engine's own user is served.
TEST_F(LinkServerTest, OnlyTheEnginesOwnUserIsServed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const uint16_t port = server_.port();
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    LinkClient other;
    std::string error;
    if (!other.Connect("127.0.0.1", port, &error)) _exit(2);
    (void)other.SendMessage("LOGIN", "other", &error);
    RawMessage m;
    _exit(other.ReadMessage(&m, 3000, &error) ? 1 : 0);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: another user's request was answered";
  LinkClient own;
  Connect(own);
  std::string error;
  ASSERT_TRUE(own.SendMessage("LOGIN", "own", &error));
  EXPECT_EQ(Reply(own), "LOGIN got:own");
}

}  // namespace
}  // namespace parley
