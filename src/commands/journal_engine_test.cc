// The send journal through the engine binary, against the web service and gateway simulators:
// every job is recorded as the gateway took it, however it ended, and an engine killed in the
// middle of a job leaves a journal that accounts for every recipient.
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "commands/send_engine_fixture.h"
#include "gatesim/gate_sim_process.h"
#include "journal/send_journal.h"
#include "protocol/status_messages.h"
#include "testing/engine_process.h"
#include "websim/web_sim_process.h"

namespace parley {
namespace {

using namespace std::chrono_literals;

std::string Number(int i) { return "010" + std::to_string(100000000 + i).substr(1); }

// A DSEND of an SMS to n recipients.
std::string SmsTo(int n) {
  std::string list;
  for (int i = 0; i < n; ++i) list += (i > 0 ? "," : "") + Number(i);
  return "1<QX>" + std::to_string(n) + "<QX>T<QX><QX>" + list + "<QX>021<QX>hi";
}

class JournalEngineTest : public ::testing::Test {
 protected:
  JournalEngineTest() : web_(dir_.path()) {}

  void Start(std::vector<std::string> gate_args) {
    gate_dir_ = dir_.path() / ("gate" + std::to_string(++starts_));
    std::filesystem::create_directories(gate_dir_);
    gate_ = std::make_unique<testing::GateSim>(gate_dir_, std::move(gate_args));
    ASSERT_NO_FATAL_FAILURE(engine_.Start(dir_.path(), gate_dir_, web_, *gate_));
    ASSERT_TRUE(
        engine_.Exchange("DSEND", "4<QX>1000<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
  }

  // The one job of this start's journal (the engine keeps it in its working directory), after
  // the engine has stopped.
  JournalJob OnlyJob(std::vector<std::string>* numbers) {
    auto opened = SendJournal::Open(gate_dir_ / kJournalFileName, 0);
    EXPECT_NE(opened.journal, nullptr) << opened.error;
    if (!opened.journal) return {};
    const std::vector<JournalJob> jobs = opened.journal->ListJobs(10);
    EXPECT_EQ(jobs.size(), 1u);
    if (jobs.empty()) return {};
    opened.journal->ForEachRecipient(
        jobs[0].id,
        [&](int64_t, const JournalRecipient& r, RecipientState) { numbers->push_back(r.number); });
    return jobs[0];
  }

  testing::TempDir dir_;
  testing::WebSim web_;
  std::unique_ptr<testing::GateSim> gate_;
  testing::SendEngine engine_;
  std::filesystem::path gate_dir_;
  int starts_ = 0;
};

// What the gateway received lies between what the journal calls acknowledged and what it calls
// acknowledged or in doubt; the recipients it names are the gateway's, in order.
void ExpectAccountsFor(const JournalJob& job, const std::vector<std::string>& numbers,
                       const testing::GateJob& gate) {
  const JobCounts counts = job.Counts();
  EXPECT_EQ(counts.acknowledged + counts.in_doubt + counts.not_sent, job.total);
  const auto received = static_cast<int64_t>(gate.messages.size());
  EXPECT_LE(counts.acknowledged, received);
  EXPECT_GE(counts.acknowledged + counts.in_doubt, received);
  ASSERT_GE(static_cast<int64_t>(numbers.size()), counts.acknowledged + counts.in_doubt);
  for (size_t i = 0; i < gate.messages.size(); ++i) {
    ASSERT_EQ(numbers[i], gate.messages[i].recipient) << "message " << i;
  }
}

TEST_F(JournalEngineTest, EveryJobIsRecordedAsTheGatewayTookIt) {
  struct Case {
    std::vector<std::string> gate_args;
    JobEnding ending;
    int64_t acknowledged;
  };
  const Case cases[] = {
      {{}, JobEnding::kDone, 300},
      {{"--close-after", "60"}, JobEnding::kClosed, 51},
      {{"--nak-at", "50"}, JobEnding::kNack, 0},
      {{"--refuse"}, JobEnding::kRefused, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.gate_args.empty() ? "clean" : c.gate_args[0]);
    ASSERT_NO_FATAL_FAILURE(Start(c.gate_args));
    engine_.Exchange("DSEND", SmsTo(300));
    engine_.Stop();
    std::vector<std::string> numbers;
    const JournalJob job = OnlyJob(&numbers);
    EXPECT_EQ(job.info.command, "DSEND");
    EXPECT_EQ(job.info.kind, "SMS");
    // The job's text is the first message's: a refused job had none.
    EXPECT_EQ(job.info.text, c.ending == JobEnding::kRefused ? "" : "hi");
    EXPECT_EQ(job.total, 300);
    EXPECT_EQ(job.ending, c.ending);
    EXPECT_EQ(job.Counts().acknowledged, c.acknowledged);
    const std::vector<testing::GateJob> gate = gate_->WaitForJobs(1);
    ASSERT_EQ(gate.size(), 1u);
    ExpectAccountsFor(job, numbers, gate[0]);
  }
}

TEST_F(JournalEngineTest, AnEngineKilledInTheMiddleOfAJobLeavesEveryRecipientAccountedFor) {
  for (const int after : {60, 400}) {
    SCOPED_TRACE(after);
    ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "20"}));
    engine_.Post("DSEND", SmsTo(1000));
    // Killed once some messages are out, whatever it is doing then.
    for (int i = 0; i < 500; ++i) {
      const auto state = protocol::StateReply::Parse(engine_.Exchange("STATE", ""));
      if (state && state->sent >= after) break;
      std::this_thread::sleep_for(5ms);
    }
    engine_.process().Signal(SIGKILL);
    int status = 0;
    ASSERT_TRUE(engine_.process().Wait(10000, &status));
    engine_.Stop();
    std::vector<std::string> numbers;
    const JournalJob job = OnlyJob(&numbers);
    EXPECT_EQ(job.ending, JobEnding::kInterrupted);
    EXPECT_EQ(job.total, 1000);
    EXPECT_GT(job.Counts().not_sent, 0);
    const std::vector<testing::GateJob> gate = gate_->WaitForJobs(1);
    ASSERT_EQ(gate.size(), 1u);
    ExpectAccountsFor(job, numbers, gate[0]);
  }
}

TEST_F(JournalEngineTest, JobsAreListedAndExportedThroughTheLink) {
  ASSERT_NO_FATAL_FAILURE(Start({"--close-after", "60"}));
  engine_.Exchange("DSEND", SmsTo(120));
  const auto list = protocol::JobListReply::Parse(engine_.Exchange("JOBLS", ""));
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->jobs.size(), 1u);
  const protocol::JobRow& row = list->jobs[0];
  EXPECT_EQ(row.command, "DSEND");
  EXPECT_EQ(row.title, "T");
  EXPECT_EQ(row.ending, "closed");
  EXPECT_EQ(row.acknowledged + row.in_doubt + row.not_sent, 120);
  EXPECT_EQ(row.acknowledged, 51);

  const std::filesystem::path csv = dir_.path() / "job.csv";
  const std::string written =
      engine_.Exchange("JOBEX", protocol::JobExportRequest{row.id, csv.string()}.Build());
  std::ifstream in(csv);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(written, std::to_string(lines.size() - 1));
  EXPECT_EQ(lines[0], "place,number,state,content\r");
  EXPECT_EQ(lines[1], "1," + Number(0) + ",acknowledged,hi\r");
  EXPECT_EQ(lines[52], "52," + Number(51) + ",in doubt,hi\r");

  EXPECT_TRUE(engine_.Exchange("JOBEX", "999<QX>" + csv.string()).starts_with("Exception:["));
}

}  // namespace
}  // namespace parley
