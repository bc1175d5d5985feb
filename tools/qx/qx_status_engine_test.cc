// qx through the engine's STATE and CANCL: status, the login results and stats need, the
// engine's own address book, gateway failures in the user's words, progress and Ctrl-C.
#include <csignal>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qx/exit_codes.h"
#include "qx/qx_engine_fixture.h"
#include "qx/results_command.h"
#include "qx/send_command.h"
#include "qx/status_command.h"

namespace parley {
namespace {

SendOptions DirectSend(int recipients) {
  SendOptions o;
  std::string list;
  for (int i = 0; i < recipients; ++i) {
    list += (i > 0 ? "," : "") + ("010" + std::to_string(100000000 + i).substr(1));
  }
  o.to = {list};
  o.text = "안내";
  o.callback = "0212345678";
  o.yes = true;
  o.progress = "never";
  return o;
}

// Standard error as a person watching a send sees it: Ctrl-C is pressed at the first progress
// line with messages gone out.
class CtrlCAtProgress : public std::stringbuf {
 public:
  bool pressed() const { return pressed_; }

 protected:
  int sync() override {
    const std::string text = str();
    if (!pressed_ && text.find("sent ") != std::string::npos &&
        text.find("sent 0 ") == std::string::npos) {
      pressed_ = true;
      ::raise(SIGINT);
    }
    return 0;
  }

 private:
  bool pressed_ = false;
};

// An engine with its own simulators (gatesim started with gate_args), logged in through qx.
class LoggedInEngine {
 public:
  explicit LoggedInEngine(std::vector<std::string> gate_args)
      : gate_{dir_.path(), std::move(gate_args)} {}

  // Use inside ASSERT_NO_FATAL_FAILURE.
  void Start() {
    target_.port = testing::FreePort();
    target_.timeout_seconds = 60;
    engine_ = QxEngineTest::StartEngine(dir_.path(), target_.port, web_, gate_.port());
    ASSERT_TRUE(engine_->WaitForLog("listening on", 10000)) << engine_->Log();
    std::ostringstream out;
    std::ostringstream err;
    LoginOptions login{"qxuser", "qxpass", false, false};
    ASSERT_EQ(RunLoginCommand(login, target_, out, err), kExitOk) << err.str();
  }

  const LinkTarget& target() const { return target_; }
  testing::GateSim& gate() { return gate_; }

 private:
  testing::TempDir dir_;
  testing::WebSim web_{dir_.path()};
  testing::GateSim gate_;
  LinkTarget target_;
  std::unique_ptr<testing::ChildProcess> engine_;
};

class QxStatusTest : public QxEngineTest {
 protected:
  int Status() {
    return Qx(
        [](auto& t, auto& o, auto& e) { return RunStatusCommand(Language::kEnglish, t, o, e); });
  }
  int Send(const SendOptions& options) {
    return Qx([&](auto& t, auto& o, auto& e) { return RunSendCommand(options, t, o, e); });
  }
};

TEST_F(QxStatusTest, StatusFollowsTheLoginAndTheLastJob) {
  ASSERT_EQ(Status(), kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("not logged in\n"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("last job: none"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("address book: " + (dir_.path() / "QXBOOK.mdb").string()),
            std::string::npos)
      << out_.str();

  // results and stats need a login: exit 1 with "not logged in", nothing asked of the web.
  ResultsOptions results;
  StatsOptions stats;
  auto run_results = [&](auto& t, auto& o, auto& e) { return RunResultsCommand(results, t, o, e); };
  auto run_stats = [&](auto& t, auto& o, auto& e) { return RunStatsCommand(stats, t, o, e); };
  EXPECT_EQ(Qx(run_results), kExitRefused);
  EXPECT_EQ(err_.str(), "qx results: not logged in\n");
  EXPECT_EQ(Qx(run_stats), kExitRefused);
  EXPECT_EQ(err_.str(), "qx stats: not logged in\n");

  ASSERT_EQ(Login({"qxuser", "qxpass", false, false}), kExitOk) << err_.str();
  ASSERT_EQ(Send(DirectSend(3)), kExitOk) << out_.str() << err_.str();
  ASSERT_EQ(Status(), kExitOk);
  EXPECT_NE(out_.str().find("logged in as qxuser\n"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("last job: #1 DSEND SMS, done: 3 in all, 3 sent, 3 acknowledged"),
            std::string::npos)
      << out_.str();
  EXPECT_EQ(Qx(run_stats), kExitOk) << err_.str();

  // A refused login ends the one before.
  EXPECT_EQ(Login({"qxuser", "wrong", false, false}), kExitRefused);
  ASSERT_EQ(Status(), kExitOk);
  EXPECT_NE(out_.str().find("not logged in\n"), std::string::npos) << out_.str();
  EXPECT_EQ(Qx(run_results), kExitRefused);
}

TEST_F(QxStatusTest, BookUsesTheEnginesFileWhenAnEngineAnswers) {
  std::string file = "QXBOOK.mdb";
  std::ostringstream err;
  ChooseBookFile(target_, Language::kEnglish, &file, err);
  EXPECT_EQ(file, (dir_.path() / "QXBOOK.mdb").string());
  EXPECT_NE(err.str().find("using the engine's address book"), std::string::npos) << err.str();

  LinkTarget nobody = target_;
  nobody.port = testing::FreePort();
  file = "QXBOOK.mdb";
  err.str("");
  ChooseBookFile(nobody, Language::kEnglish, &file, err);
  EXPECT_EQ(file, "QXBOOK.mdb");
  EXPECT_EQ(err.str(), "");
}

// Ctrl-C during a send with the progress line: the line shows counts, CANCL stops the job at an
// acknowledgement boundary, and qx exits 130 saying how many went out (what the gateway got).
TEST(QxCancelTest, CtrlCCancelsTheSendThroughTheEngine) {
  LoggedInEngine engine({"--ack-delay-ms", "300"});
  ASSERT_NO_FATAL_FAILURE(engine.Start());
  SendOptions send = DirectSend(400);
  send.progress = "always";
  std::ostringstream send_out;
  CtrlCAtProgress watcher;
  std::ostream send_err(&watcher);
  const int status = RunSendCommand(send, engine.target(), send_out, send_err);
  ASSERT_TRUE(watcher.pressed()) << watcher.str();
  ASSERT_EQ(status, kExitCancelled) << send_out.str() << watcher.str();
  EXPECT_NE(watcher.str().find("/ 400 ("), std::string::npos) << watcher.str();
  const std::vector<testing::GateJob> jobs = engine.gate().WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  const size_t went = jobs[0].messages.size();
  EXPECT_LT(went, 400u);
  EXPECT_NE(send_out.str().find("cancelled: " + std::to_string(went) + " of 400 messages went out"),
            std::string::npos)
      << send_out.str();
}

// The gateway ending a job is told in the user's words, from STATE, not as "check your message".
TEST(QxGatewayFailureTest, SaysHowTheGatewayEndedTheJob) {
  struct Case {
    std::vector<std::string> gate_args;
    std::string said;
  } cases[] = {
      {{"--refuse"}, "the gateway refused the job"},
      {{"--close-after", "10"}, "the gateway closed the connection after"},
      {{"--nak-at", "60"}, "negative acknowledgement after"},
      {{"--silent"}, "the gateway did not answer"},
  };
  for (const Case& c : cases) {
    LoggedInEngine engine(c.gate_args);
    ASSERT_NO_FATAL_FAILURE(engine.Start());
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunSendCommand(DirectSend(120), engine.target(), out, err), kExitRefused) << c.said;
    EXPECT_NE(out.str().find(c.said), std::string::npos) << c.said << ": " << out.str();
  }
}

}  // namespace
}  // namespace parley
