// The send journal through the engine binary, against the web service and gateway simulators:
// every job is recorded as the gateway took it, however it ended, and an engine killed in the
// middle of a job leaves a journal that accounts for every recipient.
#include <sched.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "commands/send_engine_fixture.h"
#include "testing/gate_sim_process.h"
#include "journal/send_journal.h"
#include "protocol/markup.h"
#include "protocol/status_messages.h"
#include "send/send_refusals.h"
#include "send/send_result.h"
#include "testing/engine_process.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

using namespace std::chrono_literals;

std::string Number(int i) { return "010" + std::to_string(100000000 + i).substr(1); }

// A DSEND of an SMS to n recipients.
std::string SmsTo(int n) {
  std::string list;
  for (int i = 0; i < n; ++i) list += (i > 0 ? "," : "") + Number(i);
  return "1<QX>" + std::to_string(n) + "<QX>T<QX><QX>" + list + "<QX>0212345678<QX>hi";
}

class JournalEngineTest : public ::testing::Test {
 protected:
  JournalEngineTest() : web_(dir_.path()) {}

  void Start(std::vector<std::string> gate_args, std::vector<std::string> engine_args = {}) {
    gate_dir_ = dir_.path() / ("gate" + std::to_string(++starts_));
    std::filesystem::create_directories(gate_dir_);
    gate_ = std::make_unique<testing::GateSim>(gate_dir_, std::move(gate_args));
    ASSERT_NO_FATAL_FAILURE(engine_.Start(dir_.path(), gate_dir_, web_, *gate_, engine_args));
    ASSERT_TRUE(
        engine_.Exchange("DSEND", "4<QX>1000<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
  }

  // Stops the engine and starts it again on the same journal against a gateway without faults,
  // whose record is clean_.
  void RestartWithCleanGateway() {
    engine_.Stop();
    const std::filesystem::path dir = gate_dir_ / ("clean" + std::to_string(++starts_));
    std::filesystem::create_directories(dir);
    clean_ = std::make_unique<testing::GateSim>(dir);
    // The new engine's log starts empty, so that its start is seen.
    std::filesystem::rename(gate_dir_ / "engine.log", dir / "first-engine.log");
    ASSERT_NO_FATAL_FAILURE(engine_.Start(dir_.path(), gate_dir_, web_, *clean_));
  }

  // Kills the engine with SIGKILL once its job has handed out `sent` messages (or after about
  // eight seconds), whatever it is doing then.
  void KillOnceSent(int64_t sent) {
    for (int i = 0; i < 4000; ++i) {
      const auto state = protocol::StateReply::Parse(engine_.Exchange("STATE", ""));
      if (state && state->sent >= sent) break;
      std::this_thread::sleep_for(2ms);
    }
    engine_.process().Signal(SIGKILL);
    int status = 0;
    ASSERT_TRUE(engine_.process().Wait(10000, &status));
  }

  // The job's row as JOBSH gives it.
  protocol::JobRow Show(int64_t job) {
    const auto list =
        protocol::JobListReply::Parse(engine_.Exchange("JOBSH", protocol::JobRequest{job}.Build()));
    EXPECT_TRUE(list && list->jobs.size() == 1);
    return list && list->jobs.size() == 1 ? list->jobs[0] : protocol::JobRow{};
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
  std::unique_ptr<testing::GateSim> clean_;
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
    // Every recipient and the text are recorded before the job header goes out.
    EXPECT_EQ(job.info.text, "hi");
    EXPECT_EQ(job.info.callback, "0212345678");
    EXPECT_EQ(job.info.source, "typed numbers");
    EXPECT_EQ(numbers.size(), 300u);
    EXPECT_EQ(job.total, 300);
    EXPECT_EQ(job.ending, c.ending);
    EXPECT_EQ(job.Counts().acknowledged, c.acknowledged);
    const std::vector<testing::GateJob> gate = gate_->WaitForJobs(1);
    ASSERT_EQ(gate.size(), 1u);
    ExpectAccountsFor(job, numbers, gate[0]);
  }
}

TEST_F(JournalEngineTest, AJobStoppedOnRequestCountsEveryMessageThatWentAsAcknowledged) {
  ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "50"}));
  engine_.Post("DSEND", SmsTo(300));
  for (int i = 0; i < 1000; ++i) {
    const auto state = protocol::StateReply::Parse(engine_.Exchange("STATE", ""));
    if (state && state->sent >= 60) break;
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(engine_.Exchange("CANCL", ""), "1");
  engine_.Receive();  // the send's own reply
  const auto list = protocol::JobListReply::Parse(engine_.Exchange("JOBLS", "1"));
  ASSERT_TRUE(list && list->jobs.size() == 1);
  const protocol::JobRow& job = list->jobs[0];
  EXPECT_EQ(job.ending, "cancelled");
  EXPECT_EQ(job.in_doubt, 0);
  EXPECT_GT(job.acknowledged, 0);
  EXPECT_EQ(job.acknowledged + job.not_sent, 300);
  EXPECT_EQ(static_cast<int64_t>(gate_->WaitForJobs(1).at(0).messages.size()), job.acknowledged);
}

TEST_F(JournalEngineTest, AnEngineKilledInTheMiddleOfAJobLeavesEveryRecipientAccountedFor) {
  for (const int after : {60, 400}) {
    SCOPED_TRACE(after);
    ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "20"}));
    engine_.Post("DSEND", SmsTo(1000));
    ASSERT_NO_FATAL_FAILURE(KillOnceSent(after));
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
  EXPECT_EQ(lines[0], "\"place\",\"number\",\"state\",\"content\"\r");
  EXPECT_EQ(lines[1], "\"1\",\"" + Number(0) + "\",\"acknowledged\",\"hi\"\r");
  EXPECT_EQ(lines[52], "\"52\",\"" + Number(51) + "\",\"in doubt\",\"hi\"\r");

  EXPECT_TRUE(engine_.Exchange("JOBEX", "999<QX>" + csv.string()).starts_with("Exception:["));
}

// The numbers of the gateway's messages.
std::vector<std::string> NumbersOf(const testing::GateJob& job) {
  std::vector<std::string> numbers;
  for (const auto& m : job.messages) numbers.push_back(m.recipient);
  return numbers;
}

// The resend of a job reached the gateway with exactly the recipients the journal did not call
// acknowledged (the in-doubt ones only when asked), in order; so across the two jobs every
// recipient the gateway acknowledged went once.
void ExpectRestSent(const std::vector<std::string>& numbers, const protocol::JobRow& first,
                    bool in_doubt, const testing::GateJob& resent) {
  const auto from = static_cast<size_t>(first.acknowledged + (in_doubt ? 0 : first.in_doubt));
  ASSERT_LE(from, numbers.size());
  const std::vector<std::string> rest(numbers.begin() + static_cast<std::ptrdiff_t>(from),
                                      numbers.end());
  EXPECT_EQ(NumbersOf(resent), rest);
  const std::set<std::string> again(rest.begin(), rest.end());
  for (int64_t i = 0; i < first.acknowledged; ++i) {
    EXPECT_FALSE(again.contains(numbers[static_cast<size_t>(i)])) << "sent twice: " << i;
  }
}

TEST_F(JournalEngineTest, TheRestOfAJobIsSentOnceToExactlyTheRecipientsNotReached) {
  struct Case {
    std::vector<std::string> gate_args;
    std::string ending;
    bool in_doubt;
  };
  const Case cases[] = {
      {{"--refuse"}, "refused", false},           {{"--silent"}, "no-answer", false},
      {{"--close-after", "0"}, "closed", false},  {{"--close-after", "60"}, "closed", false},
      {{"--close-after", "110"}, "closed", true}, {{"--nak-at", "50"}, "nack", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.gate_args[0] + (c.gate_args.size() > 1 ? " " + c.gate_args[1] : ""));
    ASSERT_NO_FATAL_FAILURE(Start(c.gate_args));
    engine_.Exchange("DSEND", SmsTo(200));
    const auto list = protocol::JobListReply::Parse(engine_.Exchange("JOBLS", "1"));
    ASSERT_TRUE(list && list->jobs.size() == 1);
    const protocol::JobRow first = list->jobs[0];
    EXPECT_EQ(first.ending, c.ending);
    EXPECT_EQ(first.acknowledged + first.in_doubt + first.not_sent, 200);
    std::vector<std::string> numbers;
    for (int i = 0; i < 200; ++i) numbers.push_back(Number(i));

    ASSERT_NO_FATAL_FAILURE(RestartWithCleanGateway());
    const auto reply = protocol::JobResendReply::Parse(
        engine_.Exchange("JOBRS", protocol::JobResendRequest{first.id, c.in_doubt}.Build()));
    ASSERT_TRUE(reply.has_value());
    const int64_t expected = first.not_sent + (c.in_doubt ? first.in_doubt : 0);
    EXPECT_EQ(reply->text, SentText(expected));
    const std::vector<testing::GateJob> resent = clean_->WaitForJobs(1);
    ASSERT_EQ(resent.size(), 1u);
    ExpectRestSent(numbers, first, c.in_doubt, resent[0]);

    // The resend is linked both ways, and the rest is not sent a second time.
    const protocol::JobRow second = Show(reply->job);
    EXPECT_EQ(second.resend_of, first.id);
    EXPECT_EQ(second.command, "JOBRS");
    EXPECT_EQ(second.ending, "done");
    EXPECT_EQ(second.report, "posted");
    EXPECT_EQ(Show(first.id).resent_as, reply->job);
    EXPECT_TRUE(engine_.Exchange("JOBRS", protocol::JobResendRequest{first.id, c.in_doubt}.Build())
                    .starts_with("Exception:["));
    // A job that reached everyone has nothing left.
    EXPECT_EQ(engine_.Exchange("JOBRS", protocol::JobResendRequest{reply->job, true}.Build()),
              protocol::ExceptionText(RefusalReason(SendRefusal::kNothingLeft)));
    engine_.Stop();
  }
}

TEST_F(JournalEngineTest, AfterAKillAtAnyPointTheRestReachesEveryoneOnce) {
  std::mt19937 random(20261211);
  for (const int total : {100, 1000, 20000}) {
    const int kill_after = std::uniform_int_distribution<int>(0, total - 1)(random);
    SCOPED_TRACE(std::to_string(total) + " recipients, killed after " + std::to_string(kill_after));
    ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "10"}));
    engine_.Post("DSEND", SmsTo(total));
    ASSERT_NO_FATAL_FAILURE(KillOnceSent(kill_after));
    const std::vector<testing::GateJob> cut = gate_->WaitForJobs(1);
    ASSERT_EQ(cut.size(), 1u);

    ASSERT_NO_FATAL_FAILURE(RestartWithCleanGateway());
    EXPECT_TRUE(engine_.process().WaitForLog("1 jobs were interrupted", 5000));
    // The user is told through STATE, which qx status shows.
    const auto state = protocol::StateReply::Parse(engine_.Exchange("STATE", ""));
    ASSERT_TRUE(state.has_value());
    EXPECT_TRUE(state->journal_notice.starts_with("1 jobs were interrupted"))
        << state->journal_notice;
    const auto list = protocol::JobListReply::Parse(engine_.Exchange("JOBLS", "1"));
    ASSERT_TRUE(list && list->jobs.size() == 1);
    const protocol::JobRow first = list->jobs[0];
    EXPECT_EQ(first.ending, "interrupted");
    EXPECT_EQ(first.acknowledged + first.in_doubt + first.not_sent, total);
    // What the gateway took lies between the acknowledged and the handed recipients.
    const auto received = static_cast<int64_t>(cut[0].messages.size());
    EXPECT_LE(first.acknowledged, received);
    EXPECT_GE(first.acknowledged + first.in_doubt, received);

    const auto reply = protocol::JobResendReply::Parse(
        engine_.Exchange("JOBRS", protocol::JobResendRequest{first.id, true}.Build()));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->text, SentText(first.in_doubt + first.not_sent));
    const std::vector<testing::GateJob> resent = clean_->WaitForJobs(1, 60000);
    ASSERT_EQ(resent.size(), 1u);
    std::vector<std::string> numbers;
    for (int i = 0; i < total; ++i) numbers.push_back(Number(i));
    ExpectRestSent(numbers, first, true, resent[0]);
    // Everyone was reached: by the first job or by the resend.
    const std::vector<std::string> took_first = NumbersOf(cut[0]);
    const std::vector<std::string> took_second = NumbersOf(resent[0]);
    std::set<std::string> reached(took_first.begin(), took_first.end());
    reached.insert(took_second.begin(), took_second.end());
    EXPECT_EQ(reached.size(), static_cast<size_t>(total));
    engine_.Stop();
  }
}

TEST_F(JournalEngineTest, AReportThatFailedToPostIsPostedOnceWhenTheServiceIsBack) {
  ASSERT_NO_FATAL_FAILURE(Start({}, {"--report-retry", "0"}));
  // The next web request, the report's post, finds the connection closed.
  ASSERT_EQ(web_.Control("/_sim/fail?count=1&mode=close"), "OK");
  engine_.Exchange("DSEND", SmsTo(3));
  const auto list = protocol::JobListReply::Parse(engine_.Exchange("JOBLS", "1"));
  ASSERT_TRUE(list && list->jobs.size() == 1);
  EXPECT_EQ(list->jobs[0].report, "pending");
  // The next login posts it; later logins and sends do not post it again.
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(engine_.Exchange("LOGIN", "qxuser<QX>qxpass").substr(0, 6), "2<QX>1");
  }
  EXPECT_EQ(Show(list->jobs[0].id).report, "posted");
  const std::string jobid = "jobid=" + list->jobs[0].gateway_job_id;
  int posts = 0;
  for (const std::string& request : web_.Requests()) {
    if (request.starts_with("POST /QX/sended.asp") && request.find(jobid) != std::string::npos) {
      ++posts;
    }
  }
  EXPECT_EQ(posts, 2) << "one post that failed, one that the service took";
}

TEST_F(JournalEngineTest, WithoutAJournalNothingIsSentAndTheUserIsToldWhy) {
  const std::filesystem::path folder = dir_.path() / "no-journal";
  std::filesystem::create_directories(folder);
  // A journal path inside a file cannot be opened, by root either.
  std::ofstream(folder / "file") << "x";
  ASSERT_NO_FATAL_FAILURE(Start({}, {"--journal", (folder / "file" / kJournalFileName).string()}));
  EXPECT_EQ(
      engine_.Exchange("DSEND", SmsTo(3)).substr(0, RefusalText(SendRefusal::kNoJournal).size()),
      RefusalText(SendRefusal::kNoJournal));
  EXPECT_TRUE(gate_->Jobs().empty());
  EXPECT_TRUE(engine_.Exchange("JOBSH", "1").starts_with("Exception:["));
  const auto state = protocol::StateReply::Parse(engine_.Exchange("STATE", ""));
  ASSERT_TRUE(state.has_value());
  EXPECT_NE(state->journal_notice.find("nothing can be sent"), std::string::npos);
}

std::string Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names in a folder that start with prefix.
int CountNamed(const std::filesystem::path& dir, const std::string& prefix) {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    n += entry.path().filename().string().starts_with(prefix) ? 1 : 0;
  }
  return n;
}

TEST_F(JournalEngineTest, ADamagedJournalIsMovedAsideAndTheUserTold) {
  const std::filesystem::path path = dir_.path() / "damaged.db";
  {
    auto opened = SendJournal::Open(path, 1);
    ASSERT_NE(opened.journal, nullptr) << opened.error;
    std::string error;
    ASSERT_TRUE(opened.journal->BeginJob(
        JournalJobInfo{}, 1, std::vector<JournalRecipient>{{Number(0), ""}}, 1, &error));
  }
  {
    // Every page after the first overwritten.
    const auto size = std::filesystem::file_size(path);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(4096);
    const std::string junk(size - 4096, '\x5a');
    file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
  }
  ASSERT_NO_FATAL_FAILURE(Start({}, {"--journal", path.string()}));
  const auto state = protocol::StateReply::Parse(engine_.Exchange("STATE", ""));
  ASSERT_TRUE(state.has_value());
  EXPECT_NE(state->journal_notice.find("was damaged; it was moved to"), std::string::npos)
      << state->journal_notice;
  // Sends go on, into the new journal.
  EXPECT_EQ(engine_.Exchange("DSEND", SmsTo(3)).substr(0, SentText(3).size()), SentText(3));
  // The damaged file, its -wal and -shm beside it under the same name.
  int aside = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    aside += std::regex_match(entry.path().filename().string(),
                              std::regex(R"(damaged\.db\.corrupt-\d+)"))
                 ? 1
                 : 0;
  }
  EXPECT_EQ(aside, 1);
}

// --journal naming a file that is no journal: the file stays as it was, and the engine runs
// without a journal (sends refused, the reason in STATE).
TEST_F(JournalEngineTest, AFileThatIsNoJournalIsLeftAsItIsAndSendsAreRefused) {
  struct Case {
    const char* name;
    void (*write)(const std::filesystem::path&);
    const char* reason;
  };
  const Case cases[] = {
      {"QXBOOK.mdb",
       [](const std::filesystem::path& p) {
         sqlite3* db = nullptr;
         sqlite3_open(p.c_str(), &db);
         sqlite3_exec(db,
                      "CREATE TABLE GROUP_TB(GROUP_NAME TEXT); INSERT INTO GROUP_TB "
                      "VALUES('고객'),('직원')",
                      nullptr, nullptr, nullptr);
         sqlite3_close(db);
       },
       "another database"},
      {"notes.txt", [](const std::filesystem::path& p) { std::ofstream(p) << "010-1234-5678\n"; },
       "no SQLite database"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path path = dir_.path() / c.name;
    c.write(path);
    const std::string before = Bytes(path);
    ASSERT_NO_FATAL_FAILURE(Start({}, {"--journal", path.string()}));
    const auto state = protocol::StateReply::Parse(engine_.Exchange("STATE", ""));
    ASSERT_TRUE(state.has_value());
    EXPECT_NE(state->journal_notice.find(c.reason), std::string::npos) << state->journal_notice;
    EXPECT_NE(state->journal_notice.find("nothing can be sent"), std::string::npos);
    EXPECT_EQ(
        engine_.Exchange("DSEND", SmsTo(3)).substr(0, RefusalText(SendRefusal::kNoJournal).size()),
        RefusalText(SendRefusal::kNoJournal));
    engine_.Stop();
    EXPECT_EQ(Bytes(path), before);
    EXPECT_EQ(CountNamed(dir_.path(), std::string(c.name) + ".corrupt-"), 0);
    EXPECT_TRUE(gate_->Jobs().empty());
  }
}

// A second engine in the same folder (another link port) finds the journal held and does not
// start; the first one's job runs on to its end, recorded as it went.
TEST_F(JournalEngineTest, ASecondEngineOnTheSameJournalDoesNotStart) {
  ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "20"}));
  const int total = 3000;
  engine_.Post("DSEND", SmsTo(total));
  for (int i = 0; i < 2000; ++i) {
    const auto state = protocol::StateReply::Parse(engine_.Exchange("STATE", ""));
    if (state && state->sent > 0) break;
    std::this_thread::sleep_for(5ms);
  }
  const uint16_t second_port = testing::FreePort();
  // Its working directory, and so its journal, is the first one's.
  testing::ChildProcess second(testing::EngineBinary(),
                               {"--link-port", std::to_string(second_port), "--ui-program", "none",
                                "--gateway", "127.0.0.1:" + std::to_string(gate_->port())},
                               gate_dir_ / "second-engine.log");
  int status = 0;
  ASSERT_TRUE(second.Wait(10000, &status)) << second.Log();
  EXPECT_NE(status, 0);
  EXPECT_NE(second.Log().find("is in use by another engine (process " +
                              std::to_string(engine_.process().pid())),
            std::string::npos)
      << second.Log();
  EXPECT_FALSE(testing::WaitForPort(second_port, 100));

  const RawMessage reply = engine_.Receive();
  EXPECT_EQ(reply.body.substr(0, SentText(total).size()), SentText(total));
  const auto list = protocol::JobListReply::Parse(engine_.Exchange("JOBLS", ""));
  ASSERT_TRUE(list && list->jobs.size() == 1);
  EXPECT_EQ(list->jobs[0].ending, "done");
  EXPECT_EQ(list->jobs[0].acknowledged, total);
  // Once the first has ended, an engine starts on the journal.
  ASSERT_NO_FATAL_FAILURE(RestartWithCleanGateway());
}

// JOBEX makes a new regular file: nothing already at the name is replaced unless asked, and
// then only a regular file; never through a link, never a pipe or a device.
TEST_F(JournalEngineTest, AnExportWritesOnlyANewFileOrAFileItWasAskedToReplace) {
  ASSERT_NO_FATAL_FAILURE(Start({}));
  engine_.Exchange("DSEND", SmsTo(3));
  const std::filesystem::path dir = dir_.path() / "exports";
  std::filesystem::create_directories(dir);
  const std::filesystem::path victim = dir / "victim";
  std::ofstream(victim) << "keep me\n";
  std::filesystem::create_symlink(victim, dir / "link.csv");
  std::filesystem::create_symlink(victim, dir / "link.xlsx");
  std::ofstream(dir / "old.csv") << "old\n";
  std::ofstream(dir / "old.xlsx") << "old\n";
  ASSERT_EQ(::mkfifo((dir / "pipe.csv").c_str(), 0600), 0);
  struct Case {
    std::string path;
    std::string format;
    bool replace;
    std::string refusal;  // empty: written
  };
  const Case cases[] = {
      {(dir / "new.csv").string(), "csv", false, ""},
      {(dir / "new.xlsx").string(), "xlsx", false, ""},
      {(dir / "résumé😀.csv").string(), "csv", false, ""},
      {(dir / "old.csv").string(), "csv", false, "exists"},
      {(dir / "old.xlsx").string(), "xlsx", false, "exists"},
      {(dir / "old.csv").string(), "csv", true, ""},
      {(dir / "old.xlsx").string(), "xlsx", true, ""},
      {(dir / "link.csv").string(), "csv", false, "not a regular file"},
      {(dir / "link.csv").string(), "csv", true, "not a regular file"},
      {(dir / "link.xlsx").string(), "xlsx", true, "not a regular file"},
      {(dir / "pipe.csv").string(), "csv", true, "not a regular file"},
      {"/dev/null", "csv", true, "not a regular file"},
      {(dir / "missing" / "x.csv").string(), "csv", false, "cannot write"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + (c.replace ? " (replace)" : ""));
    const std::string reply = engine_.Exchange(
        "JOBEX", protocol::JobExportRequest{1, c.path, c.format, c.replace}.Build());
    if (c.refusal.empty()) {
      EXPECT_EQ(reply, "3");
      ASSERT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(c.path)));
      EXPECT_EQ(Bytes(c.path).substr(0, 2), c.format == "xlsx" ? "PK" : "\"p");
    } else {
      EXPECT_TRUE(reply.starts_with("Exception:[")) << reply;
      EXPECT_NE(reply.find(c.refusal), std::string::npos) << reply;
    }
  }
  EXPECT_EQ(Bytes(victim), "keep me\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.csv"));
  EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe.csv"));
  EXPECT_EQ(CountNamed(dir, ".parley-export-"), 0);
}

// A job's text (any sender may make one) never becomes a formula or a line of its own in a CSV
// export.
TEST_F(JournalEngineTest, ACsvExportQuotesEveryFieldAndDisarmsFormulas) {
  ASSERT_NO_FATAL_FAILURE(Start({}));
  const std::string texts[] = {"=1+2", "+1", "-1", "@SUM(A1)", "\tx", "a\"b\ncurl x|sh"};
  const std::string expected[] = {"'=1+2", "'+1", "'-1", "'@SUM(A1)", "'\tx", "a\"\"b\ncurl x|sh"};
  for (size_t i = 0; i < std::size(texts); ++i) {
    SCOPED_TRACE(texts[i]);
    engine_.Exchange("DSEND", "1<QX>1<QX>T<QX><QX>" + Number(0) + "<QX>0212345678<QX>" + texts[i]);
    const std::filesystem::path csv = dir_.path() / ("text" + std::to_string(i) + ".csv");
    ASSERT_EQ(
        engine_.Exchange(
            "JOBEX", protocol::JobExportRequest{static_cast<int64_t>(i) + 1, csv.string()}.Build()),
        "1");
    EXPECT_EQ(Bytes(csv), "\"place\",\"number\",\"state\",\"content\"\r\n\"1\",\"" + Number(0) +
                              "\",\"acknowledged\",\"" + expected[i] + "\"\r\n");
  }
}

// A tmpfs of `kilobytes` mounted at dir (in a mount namespace of this process's own, which the
// engines it starts share); false where the environment cannot give one.
bool MountSmallDisk(const std::filesystem::path& dir, int kilobytes) {
  static const bool unshared = ::unshare(CLONE_NEWNS) == 0 &&
                               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  const std::string size = "size=" + std::to_string(kilobytes) + "k";
  return unshared &&
         ::mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, size.c_str()) == 0;
}

// A send whose journal has no room is refused before anything reaches the gateway, and the
// engine goes on.
TEST_F(JournalEngineTest, ASendTheFullDiskCannotRecordIsRefusedAndTheEngineLivesOn) {
  const std::filesystem::path disk = dir_.path() / "disk";
  std::filesystem::create_directories(disk);
  if (!MountSmallDisk(disk, 256)) GTEST_SKIP() << "no tmpfs can be mounted here";
  struct Unmount {
    std::filesystem::path dir;
    ~Unmount() { ::umount2(dir.c_str(), MNT_DETACH); }
  } unmount{disk};
  ASSERT_NO_FATAL_FAILURE(Start({}, {"--journal", (disk / kJournalFileName).string()}));
  const std::string reply = engine_.Exchange("DSEND", SmsTo(100000));
  EXPECT_EQ(reply.find(SentText(100000)), std::string::npos) << reply;
  int messages = 0;
  for (const testing::GateJob& job : gate_->Jobs())
    messages += static_cast<int>(job.messages.size());
  EXPECT_EQ(messages, 0);
  ASSERT_TRUE(engine_.process().Running());
  EXPECT_TRUE(protocol::StateReply::Parse(engine_.Exchange("STATE", "")).has_value());
  // A send that fits goes.
  EXPECT_EQ(engine_.Exchange("DSEND", SmsTo(3)).substr(0, SentText(3).size()), SentText(3));
  engine_.Stop();
}

TEST_F(JournalEngineTest, TheRestOfALongTextJobGoesAsTheSamePackage) {
  ASSERT_NO_FATAL_FAILURE(Start({"--close-after", "60"}));
  std::string list;
  for (int i = 0; i < 120; ++i) list += (i > 0 ? "," : "") + Number(i);
  // Mode 2 without pictures: a long text, sent as a package.
  engine_.Exchange("DSEND",
                   "2<QX>120<QX>T<QX><QX>" + list + "<QX>0212345678<QX>" + std::string(300, 'L'));
  const std::vector<testing::GateJob> cut = gate_->WaitForJobs(1);
  ASSERT_EQ(cut.size(), 1u);
  ASSERT_FALSE(cut[0].messages.empty());
  const auto list_reply = protocol::JobListReply::Parse(engine_.Exchange("JOBLS", "1"));
  ASSERT_TRUE(list_reply && list_reply->jobs.size() == 1);
  const protocol::JobRow first = list_reply->jobs[0];
  EXPECT_EQ(first.kind, "LMS");

  ASSERT_NO_FATAL_FAILURE(RestartWithCleanGateway());
  const std::string raw =
      engine_.Exchange("JOBRS", protocol::JobResendRequest{first.id, false}.Build());
  const auto reply = protocol::JobResendReply::Parse(raw);
  ASSERT_TRUE(reply.has_value()) << raw;
  EXPECT_EQ(reply->text, SentText(first.not_sent));
  const std::vector<testing::GateJob> resent = clean_->WaitForJobs(1);
  ASSERT_EQ(resent.size(), 1u);
  EXPECT_EQ(resent[0].header.type_code, cut[0].header.type_code);
  ASSERT_FALSE(resent[0].messages.empty());
  for (const auto& m : resent[0].messages) {
    EXPECT_EQ(m.checksum, cut[0].messages[0].checksum);
    EXPECT_EQ(m.size, cut[0].messages[0].size);
  }
}

}  // namespace
}  // namespace parley
