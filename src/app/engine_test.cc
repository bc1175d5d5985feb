// End-to-end tests: the real engine binary, talked to over TCP.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "journal/send_journal.h"
#include "link/message.h"
#include "client/link_client.h"
#include "testing/engine_process.h"

namespace parley {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;

// The engine with a home of its own, whose UI program is a script that counts its launches.
class EngineTest : public ::testing::Test {
 protected:
  EngineTest() : port_(testing::FreePort()) {
    testing::WriteScript(home() / "QX_Flex" / "QXv1.exe",
                         "echo launched >> '" + launches_file().string() + "'");
  }

  std::filesystem::path home() const { return dir_.path() / "home"; }
  std::filesystem::path launches_file() const { return dir_.path() / "launches"; }

  std::unique_ptr<ChildProcess> Start(std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"--link-port",   std::to_string(port_), "--home",
                                  home().string(), "--log-level",         "debug"};
    args.insert(args.end(), extra.begin(), extra.end());
    auto engine =
        std::make_unique<ChildProcess>(testing::EngineBinary(), args, dir_.path() / "engine.log");
    // Waiting for the log line rather than probing the port: a probe's closed connection would
    // launch the UI program once more.
    EXPECT_TRUE(engine->WaitForLog("listening on", 10000)) << engine->Log();
    return engine;
  }

  int Launches(int expected_at_least) {
    int count = 0;
    for (int i = 0; i < 200; ++i) {
      std::ifstream in(launches_file());
      std::string line;
      count = 0;
      while (std::getline(in, line)) ++count;
      if (count >= expected_at_least) break;
      std::this_thread::sleep_for(20ms);
    }
    return count;
  }

  RawMessage Exchange(LinkClient& c, std::string_view code, std::string_view body) {
    std::string error;
    RawMessage m;
    EXPECT_TRUE(c.SendMessage(code, body, &error)) << error;
    EXPECT_TRUE(c.ReadMessage(&m, 10000, &error)) << error;
    return m;
  }

  void Connect(LinkClient& c) {
    std::string error;
    ASSERT_TRUE(c.Connect("127.0.0.1", port_, &error)) << error;
  }

  testing::TempDir dir_;
  uint16_t port_;
};

TEST_F(EngineTest, AnswersOverTheLinkAndRelaunchesTheUiAfterAClose) {
  auto engine = Start();
  EXPECT_EQ(Launches(1), 1) << "launched at start";
  {
    LinkClient c;
    Connect(c);
    RawMessage m = Exchange(c, "INIT", "");
    EXPECT_EQ(m.header, "INITQX0.10         ");
    EXPECT_EQ(m.body, "");
    m = Exchange(c, "login", "a<QX>b");
    EXPECT_EQ(m.header, "INITQX0.10         ");
    m = Exchange(c, "ENDQX", "0");
    EXPECT_EQ(m.header, "ENDQXQX0.10         ");
    EXPECT_EQ(m.body, "");
  }
  EXPECT_EQ(Launches(2), 2) << "launched again after the connection closed";
  LinkClient again;
  Connect(again);
  EXPECT_EQ(Exchange(again, "XXXXX", "").header, "INITQX0.10         ");
  EXPECT_TRUE(engine->Running());
}

TEST_F(EngineTest, EndqxOneAnswersExitAndEndsTheProcess) {
  auto engine = Start();
  LinkClient c;
  Connect(c);
  auto sent = std::chrono::steady_clock::now();
  RawMessage m = Exchange(c, "ENDQX", "1");
  EXPECT_EQ(m.header + m.body, "ENDQXQX0.14         EXIT");
  // Nothing after it: a message sent now is not answered, and the engine ends with status 0.
  std::string error;
  c.SendMessage("INIT", "", &error);
  EXPECT_TRUE(c.WaitForClose(10000));
  int status = -1;
  ASSERT_TRUE(engine->Wait(10000, &status)) << engine->Log();
  EXPECT_EQ(status, 0);
  EXPECT_GE(std::chrono::steady_clock::now() - sent, 1400ms);
}

TEST_F(EngineTest, ASecondCopyOnThePortLaunchesTheUiAndEnds) {
  auto engine = Start();
  EXPECT_EQ(Launches(1), 1);
  ChildProcess second(testing::EngineBinary(),
                      {"--link-port", std::to_string(port_), "--home", home().string()},
                      dir_.path() / "second.log");
  int status = -1;
  ASSERT_TRUE(second.Wait(10000, &status));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Launches(2), 2);
  LinkClient c;
  Connect(c);
  EXPECT_EQ(Exchange(c, "INIT", "").header, "INITQX0.10         ");
}

TEST_F(EngineTest, SigtermEndsCleanly) {
  auto engine = Start({"--ui-program", "none"});
  engine->Signal(SIGTERM);
  int status = -1;
  ASSERT_TRUE(engine->Wait(10000, &status));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Launches(0), 0) << "--ui-program none launches nothing";
}

TEST_F(EngineTest, WatchdogEndsTheEngineOnceTheUiProgramHasGone) {
  // The UI program lives for two seconds: the usual one, or one named by --ui-program (with a
  // name longer than the system keeps).
  const std::filesystem::path other = dir_.path() / "parley-user-interface";
  testing::WriteScript(home() / "QX_Flex" / "QXv1.exe", "sleep 2");
  testing::WriteScript(other, "sleep 2");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--watchdog", "1"}, {"--watchdog", "1", "--ui-program", other}}) {
    SCOPED_TRACE(args.back());
    auto start = std::chrono::steady_clock::now();
    auto engine = Start(args);
    int status = -1;
    ASSERT_TRUE(engine->Wait(15000, &status)) << engine->Log();
    EXPECT_EQ(status, 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1900ms) << "ended while the UI ran";
  }
}

TEST_F(EngineTest, AnUnfinishedMessageIsDroppedAfterTheTimeOutAndTheNextClientIsServed) {
  auto engine = Start({"--ui-program", "none", "--link-message-timeout", "1"});
  const std::string init_header = "INITQX0.10         ";
  // An idle client is kept past the time-out.
  {
    LinkClient idle;
    Connect(idle);
    EXPECT_EQ(Exchange(idle, "INIT", "").header, init_header);
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(Exchange(idle, "INIT", "").header, init_header);
  }
  struct Case {
    const char* name;
    std::string bytes;
    bool answered;  // the whole message in front is answered before the drop
  };
  const Case cases[] = {
      {"three header bytes", "INI", false},
      {"a header without its body", MakeHeader("LOGIN", 20), false},
      {"part of a body", MakeHeader("LOGIN", 20) + "qxuser<QX>", false},
      {"a whole message, then part of the next", MakeMessage("INIT", "") + "ENDQ", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t log_mark = engine->Log().size();
    LinkClient first;
    Connect(first);
    std::string error;
    ASSERT_TRUE(first.Write(c.bytes, &error)) << error;
    if (c.answered) {
      RawMessage m;
      ASSERT_TRUE(first.ReadMessage(&m, 10000, &error)) << error;
      EXPECT_EQ(m.header, init_header);
    }
    // The second client waits in the listen queue until the first is dropped.
    LinkClient second;
    Connect(second);
    EXPECT_EQ(Exchange(second, "INIT", "").header, init_header);
    EXPECT_TRUE(first.WaitForClose(5000));
    EXPECT_NE(engine->Log().find("stayed unfinished", log_mark), std::string::npos)
        << engine->Log().substr(log_mark);
  }
  EXPECT_TRUE(engine->Running());
}

TEST_F(EngineTest, VersionAndBadFlags) {
  ChildProcess version(testing::EngineBinary(), {"--version"}, dir_.path() / "version.log");
  int status = -1;
  ASSERT_TRUE(version.Wait(5000, &status));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(version.Log(), "Parley, Version 1.0\n");
  ChildProcess bad(testing::EngineBinary(), {"--gateway", "nohost"}, dir_.path() / "bad.log");
  ASSERT_TRUE(bad.Wait(5000, &status));
  EXPECT_EQ(status, 2);
}

TEST_F(EngineTest, ABusyPortIsReportedAndEndsWithStatus1) {
  int holder = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port_);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(holder, 1), 0);
  ChildProcess engine(testing::EngineBinary(),
                      {"--link-port", std::to_string(port_), "--ui-program", "none"},
                      dir_.path() / "busy.log");
  int status = -1;
  ASSERT_TRUE(engine.Wait(5000, &status));
  EXPECT_EQ(status, 1);
  EXPECT_NE(engine.Log().find("cannot listen"), std::string::npos) << engine.Log();
  ::close(holder);
}

}  // namespace
}  // namespace parley

namespace parley {
namespace {

TEST_F(EngineTest, JobsLeftRunningAreReportedOnceAndADamagedJournalIsMovedAside) {
  const std::filesystem::path journal = dir_.path() / "journal.db";
  {
    auto opened = SendJournal::Open(journal, 1);
    ASSERT_NE(opened.journal, nullptr) << opened.error;
    std::string error;
    for (int i = 0; i < 2; ++i) {  // two jobs a killed engine never ended
      ASSERT_TRUE(opened.journal->BeginJob(JournalJobInfo{}, 5, {}, 1, &error)) << error;
    }
  }
  const std::vector<std::string> flags = {"--ui-program", "none", "--journal", journal.string()};
  auto stop = [](std::unique_ptr<ChildProcess> engine) {
    engine->Signal(SIGTERM);
    int status = -1;
    EXPECT_TRUE(engine->Wait(10000, &status));
  };
  auto first = Start(flags);
  EXPECT_NE(first->Log().find("2 jobs were interrupted"), std::string::npos) << first->Log();
  stop(std::move(first));
  std::filesystem::remove(dir_.path() / "engine.log");
  auto second = Start(flags);
  EXPECT_EQ(second->Log().find("were interrupted"), std::string::npos) << "told once";
  stop(std::move(second));

  std::filesystem::remove(dir_.path() / "engine.log");
  {
    // The journal's pages after the first overwritten: still known as a journal, by its header.
    const auto size = std::filesystem::file_size(journal);
    ASSERT_GT(size, 4096u);
    std::fstream file(journal, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(4096);
    const std::string junk(size - 4096, 'x');
    file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
  }
  auto third = Start(flags);
  EXPECT_NE(third->Log().find("was damaged"), std::string::npos) << third->Log();
  stop(std::move(third));
}

}  // namespace
}  // namespace parley
