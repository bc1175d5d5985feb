// STATE and CANCL through the engine binary, against the web service and gateway simulators: the
// state before any job, a job's progress while it runs and how it ended, a cancel at the next
// acknowledgement boundary as the gateway sees it, and the login flag.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <chrono>
#include <thread>

#include "commands/send_engine_fixture.h"
#include "testing/gate_sim_process.h"
#include "link/message.h"
#include "protocol/status_messages.h"
#include "send/send_result.h"
#include "testing/engine_process.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

using protocol::StateReply;

// A list of n numbers 01000000000, 01000000001, ...
std::string Numbers(int n) {
  std::string list;
  for (int i = 0; i < n; ++i) {
    if (i > 0) list += ',';
    list += "010" + std::to_string(100000000 + i).substr(1);
  }
  return list;
}

// A DSEND of an SMS to n recipients.
std::string SmsTo(int n) {
  return "1<QX>" + std::to_string(n) + "<QX>T<QX><QX>" + Numbers(n) + "<QX>0212345678<QX>hi";
}

class StatusEngineTest : public ::testing::Test {
 protected:
  StatusEngineTest() : web_(dir_.path()) {}

  // Starts the gateway simulator with its fault options, then the engine, logs in and passes the
  // send check.
  void Start(std::vector<std::string> gate_args = {}) {
    gate_.reset();
    engine_.Stop();
    const std::filesystem::path gate_dir = dir_.path() / ("gate" + std::to_string(++starts_));
    std::filesystem::create_directories(gate_dir);
    gate_ = std::make_unique<testing::GateSim>(gate_dir, std::move(gate_args));
    ASSERT_NO_FATAL_FAILURE(engine_.Start(dir_.path(), gate_dir, web_, *gate_));
    ASSERT_TRUE(engine_.Exchange("DSEND", "4<QX>300<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
  }

  StateReply State() {
    const std::string body = engine_.Exchange("STATE", "");
    const std::optional<StateReply> state = StateReply::Parse(body);
    EXPECT_TRUE(state.has_value()) << body;
    return state.value_or(StateReply{});
  }

  // The text of a send reply, in front of the user information string.
  static std::string SendText(const std::string& body) { return body.substr(0, body.find("<QX>")); }

  testing::TempDir dir_;
  testing::WebSim web_;
  std::unique_ptr<testing::GateSim> gate_;
  testing::SendEngine engine_;
  int starts_ = 0;
};

TEST_F(StatusEngineTest, BeforeAnyJobAndTheLoginFlag) {
  ASSERT_NO_FATAL_FAILURE(Start());
  StateReply s = State();
  EXPECT_FALSE(s.version.empty());
  EXPECT_TRUE(s.home.starts_with("/") && s.home.ends_with("/")) << s.home;
  EXPECT_TRUE(s.address_book.starts_with("/") && s.address_book.ends_with("/QXBOOK.mdb"))
      << s.address_book;
  EXPECT_TRUE(std::filesystem::exists(s.address_book)) << "the book the login opened";
  EXPECT_EQ(s.job_number, 0);
  EXPECT_EQ(s.command + s.kind + s.state + s.job_id, "");
  EXPECT_EQ(s.total + s.sent + s.acknowledged, 0);
  EXPECT_EQ(engine_.Exchange("CANCL", ""), "0") << "no job to cancel";

  struct Case {
    std::string code;
    std::string body;
    bool logged_in;
  };
  const Case cases[] = {
      {"STATE", "", true},  // the fixture's login
      {"ENDQX", "0", false},
      {"LOGIN", "qxuser<QX>qxpass", true},
      {"LOGIN", "qxuser<QX>wrong", false},  // a refused login ends the one before
      {"LOGIN", "qxuser<QX>qxpass", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code + " " + c.body);
    engine_.Exchange(c.code, c.body);
    s = State();
    EXPECT_EQ(s.logged_in, c.logged_in);
    EXPECT_EQ(s.login_id, c.logged_in ? "qxuser" : "");
  }
}

TEST_F(StatusEngineTest, ProgressWhileAJobRunsAndAfter) {
  // Held acknowledgements keep the job running long enough to be seen.
  ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "150"}));
  constexpr int kTotal = 300;
  engine_.Post("DSEND", SmsTo(kTotal));
  std::vector<StateReply> seen;
  std::string send_reply;
  bool asking = false;
  while (send_reply.empty()) {
    if (!asking) engine_.Post("STATE", "");
    asking = true;
    const RawMessage m = engine_.Receive();
    if (m.header.starts_with("DSEND")) {
      send_reply = m.body;
      continue;
    }
    ASSERT_TRUE(m.header.starts_with("STATE")) << m.header;
    asking = false;
    const std::optional<StateReply> s = StateReply::Parse(m.body);
    ASSERT_TRUE(s.has_value()) << m.body;
    seen.push_back(*s);
  }
  if (asking) engine_.Receive();
  EXPECT_EQ(SendText(send_reply), SentText(kTotal));

  int running = 0;
  for (size_t i = 0; i < seen.size(); ++i) {
    const StateReply& s = seen[i];
    if (s.state != "running") continue;
    ++running;
    EXPECT_EQ(s.total, kTotal);
    EXPECT_LE(s.acknowledged, s.sent);
    EXPECT_EQ(s.acknowledged % 50, s.acknowledged == 0 ? 0 : 1) << "acknowledged through 51, 101";
    if (i > 0) {
      EXPECT_GE(s.sent, seen[i - 1].sent);
      EXPECT_GE(s.acknowledged, seen[i - 1].acknowledged);
    }
  }
  EXPECT_GT(running, 0) << "the job was never seen running";
  EXPECT_GT(seen.back().acknowledged, 0) << "no acknowledgement was seen while it ran";

  const StateReply done = State();
  const std::vector<testing::GateJob> jobs = gate_->WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(done.job_number, 1);
  EXPECT_EQ(done.command, "DSEND");
  EXPECT_EQ(done.kind, "SMS");
  EXPECT_EQ(done.state, "done");
  EXPECT_EQ(done.total, kTotal);
  EXPECT_EQ(done.sent, kTotal);
  EXPECT_EQ(done.acknowledged, kTotal);
  EXPECT_EQ(done.job_id, jobs[0].job_id);
}

// Two sends on one connection (two tabs of a page do this): the second waits for the first job
// to end, so STATE and CANCL always mean the one running job, and CANCL stops only it.
TEST_F(StatusEngineTest, OneGatewayJobAtATime) {
  ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "200"}));
  ASSERT_TRUE(engine_.Exchange("DSEND", "4<QX>300<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
  engine_.Post("DSEND", SmsTo(300));
  ASSERT_TRUE(engine_.process().WaitForLog("waiting for the acknowledgement", 10000));
  engine_.Post("DSEND", SmsTo(120));
  // The second send waits: STATE still shows the first job alone.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  StateReply s = State();
  EXPECT_EQ(s.job_number, 1);
  EXPECT_EQ(s.total, 300);
  engine_.Post("CANCL", "");
  EXPECT_TRUE(engine_.Receive().header.starts_with("CANCL"));
  EXPECT_EQ(SendText(engine_.Receive().body).substr(0, 10), CancelledText(1).substr(0, 10));
  // The second job then runs whole: the cancel was the first job's alone.
  EXPECT_EQ(SendText(engine_.Receive().body), SentText(120));
  s = State();
  EXPECT_EQ(s.job_number, 2);
  EXPECT_EQ(s.state, "done");
  EXPECT_EQ(s.acknowledged, 120);
  const std::vector<testing::GateJob> jobs = gate_->WaitForJobs(2);
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[1].messages.size(), 120u);
}

// Quitting during a send: the job stops at its next acknowledgement, as CANCL stops it, its
// command answers, and only then does the engine end; nothing is left in doubt.
TEST_F(StatusEngineTest, QuittingDuringASendEndsTheJobCleanlyFirst) {
  ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "200"}));
  engine_.Post("DSEND", SmsTo(300));
  ASSERT_TRUE(engine_.process().WaitForLog("waiting for the acknowledgement", 10000));
  engine_.Post("ENDQX", "1");
  const RawMessage sent = engine_.Receive();
  ASSERT_TRUE(sent.header.starts_with("DSEND")) << sent.header;
  const std::string text = SendText(sent.body);
  EXPECT_EQ(text.substr(0, CancelledText(0).find('\n')),
            CancelledText(0).substr(0, CancelledText(0).find('\n')));
  const RawMessage exit = engine_.Receive();
  EXPECT_TRUE(exit.header.starts_with("ENDQX")) << exit.header;
  EXPECT_EQ(exit.body, "EXIT");
  int status = -1;
  EXPECT_TRUE(engine_.process().Wait(10000, &status));
  const std::vector<testing::GateJob> jobs = gate_->WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].end, "client closed") << "the job ended with the gateway as a finished one";
  EXPECT_EQ(jobs[0].received % 50, 1);
  EXPECT_EQ(text, CancelledText(jobs[0].received));
}

TEST_F(StatusEngineTest, CancelStopsAtTheNextAcknowledgement) {
  constexpr int kTotal = 300;
  struct Case {
    std::string code;
    std::string body;
    bool cancelled_text;  // the reply tells the cancel (ASEND's reply never tells an outcome)
  };
  const Case cases[] = {
      {"DSEND", SmsTo(kTotal), true},
      {"ASEND", "1<QX>300<QX>T<QX><QX><QX>" + Numbers(kTotal) + "<QX>0212345678<QX>hi", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "300"}));
    engine_.Post(c.code, c.body);
    ASSERT_TRUE(engine_.process().WaitForLog("waiting for the acknowledgement", 10000));
    engine_.Post("CANCL", "");
    const RawMessage asked = engine_.Receive();
    ASSERT_TRUE(asked.header.starts_with("CANCL")) << asked.header;
    EXPECT_EQ(asked.body, "1");
    const RawMessage sent = engine_.Receive();
    ASSERT_TRUE(sent.header.starts_with(c.code)) << sent.header;

    const StateReply s = State();
    EXPECT_EQ(s.command, c.code);
    EXPECT_EQ(s.state, "cancelled");
    EXPECT_EQ(s.total, kTotal);
    EXPECT_EQ(s.sent, s.acknowledged);
    EXPECT_LT(s.sent, kTotal);
    EXPECT_EQ(s.sent % 50, 1) << "stopped right after an acknowledgement";
    EXPECT_EQ(SendText(sent.body), c.cancelled_text ? CancelledText(s.sent) : "");
    // The gateway got exactly the messages counted, and the job ended as a finished one does.
    const std::vector<testing::GateJob> jobs = gate_->WaitForJobs(1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].received, s.sent);
    EXPECT_EQ(jobs[0].messages.size(), static_cast<size_t>(s.sent));
    EXPECT_EQ(jobs[0].end, "client closed");
    EXPECT_EQ(engine_.Exchange("CANCL", ""), "0") << "nothing runs any more";
    EXPECT_EQ(State().state, "cancelled");
  }
}

TEST_F(StatusEngineTest, EachEndingShows) {
  struct Case {
    std::vector<std::string> gate_args;
    std::string state;
    int64_t sent;
    int64_t acknowledged;
    bool job_id;  // the gateway answered the job header
  };
  const Case cases[] = {
      {{"--refuse"}, "refused", 0, 0, true},
      {{"--silent"}, "no-answer", 0, 0, false},
      {{"--close-after", "0"}, "closed", 0, 0, false},
      // Handed to the socket up to the next acknowledgement wait, which finds the hang-up.
      {{"--close-after", "60"}, "closed", 101, 51, true},
      {{"--nak-at", "50"}, "nack", 51, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.gate_args[0] + " " + c.state);
    ASSERT_NO_FATAL_FAILURE(Start(c.gate_args));
    EXPECT_EQ(SendText(engine_.Exchange("DSEND", SmsTo(120))), kSendFailedText);
    const StateReply s = State();
    EXPECT_EQ(s.job_number, 1);
    EXPECT_EQ(s.state, c.state);
    EXPECT_EQ(s.total, 120);
    EXPECT_EQ(s.sent, c.sent);
    EXPECT_EQ(s.acknowledged, c.acknowledged);
    EXPECT_EQ(!s.job_id.empty(), c.job_id) << s.job_id;
  }
}

}  // namespace
}  // namespace parley
