// The three send pipelines on the one job runner, against gatesim in process: where their
// policies differ (kDirectJob, kGroupJob, kExcelJob), each keeps its own behaviour.
#include "send/gateway_job.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>

#include "testing/gate_sim_process.h"
#include "send/direct_send.h"
#include "send/excel_send.h"
#include "send/group_send.h"
#include "send/job_observer.h"
#include "testing/engine_process.h"

// GCC 12 pairs asio's coroutine frame allocation (aligned_alloc) with the frame's own operator
// delete, which frees it correctly, and warns of a mismatch that is not there.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace parley {
namespace {

using namespace std::chrono_literals;

enum class Pipeline { kDirect, kGroup, kExcel };
constexpr Pipeline kPipelines[] = {Pipeline::kDirect, Pipeline::kGroup, Pipeline::kExcel};

const char* NameOf(Pipeline p) {
  return p == Pipeline::kDirect ? "direct" : p == Pipeline::kGroup ? "group" : "excel";
}

// An address book without groups: a group send goes to its individual numbers only.
class NoGroups : public GroupDirectory {
 public:
  bool FindGroup(std::string_view, std::string* key, std::string*) override {
    key->clear();
    return true;
  }
  bool Members(const std::string&, std::vector<std::string>*, std::string*) override {
    return true;
  }
};

// Sheet rows of the given numbers, each with the callback "0212345678" and the text "hi".
class NumberRows : public SheetRowCursor {
 public:
  explicit NumberRows(std::vector<std::string> numbers) : numbers_(std::move(numbers)) {}
  std::string CheckQuery() override { return {}; }
  bool Open() override {
    at_ = 0;
    return true;
  }
  bool AtEnd() const override { return at_ >= numbers_.size(); }
  bool Read(SheetRow* row) override {
    *row = SheetRow();
    row->row = static_cast<int64_t>(at_) + 2;
    row->recipient = numbers_[at_];
    row->callback = "0212345678";
    row->text = "hi";
    return true;
  }
  bool MoveNext() override {
    ++at_;
    return true;
  }
  void Close() override {}
  const std::string& error() const override { return error_; }

 private:
  std::vector<std::string> numbers_;
  size_t at_ = 0;
  std::string error_;
};

std::vector<std::string> Numbers(int n) {
  std::vector<std::string> numbers;
  for (int i = 0; i < n; ++i) numbers.push_back("0101111" + std::to_string(10000 + i).substr(1));
  return numbers;
}

// Sends "hi" from "0212345678" to numbers through pipeline p, as an order of kind naming pictures.
// The job reports to observer and asks cancel, when given.
SendResult Send(Pipeline p, uint16_t port, const std::filesystem::path& home, SendKind kind,
                std::vector<std::string> numbers, std::vector<std::string> pictures = {},
                JobObserver* observer = nullptr, const bool* cancel = nullptr) {
  asio::io_context io;
  SendSetup setup;
  setup.executor = io.get_executor();
  setup.gateway_host = "127.0.0.1";
  setup.gateway_port = port;
  setup.timeout = 10s;
  setup.module_dir = home.string() + "/";
  setup.login_id = "user01";
  setup.password = "secret";
  setup.observer =
      std::shared_ptr<JobObserver>(std::shared_ptr<JobObserver>(), observer);  // not owned
  setup.cancel = cancel;
  const int64_t count = static_cast<int64_t>(numbers.size());
  NoGroups no_groups;
  NumberRows rows(numbers);
  SendResult result;
  DirectOrder direct;
  GroupOrder group;
  ExcelOrder excel;
  direct.kind = group.kind = excel.kind = kind;
  direct.count = group.count = excel.count = count;
  group.numbers = numbers;
  for (const std::string& number : numbers) {
    direct.recipients += (direct.recipients.empty() ? "" : ",") + number;
  }
  direct.callback = group.callback = excel.second = "0212345678";
  excel.two_column = false;  // the callback is `second`
  direct.text = group.text = excel.text = "hi";
  direct.pictures = group.pictures = excel.pictures = pictures;
  auto send = [&]() -> asio::awaitable<void> {
    switch (p) {
      case Pipeline::kDirect:
        result = co_await SendDirect(setup, direct);
        break;
      case Pipeline::kGroup:
        result = co_await SendGroup(setup, no_groups, group);
        break;
      case Pipeline::kExcel:
        result = co_await SendExcel(setup, rows, excel);
        break;
    }
  };
  asio::co_spawn(io, send(), [](std::exception_ptr e) {
    if (e) std::rethrow_exception(e);
  });
  io.run_for(60s);
  return result;
}

// One row per pipeline: what it does today.
struct Expected {
  SendOutcome outcome;
  int64_t jobs;      // jobs gatesim saw
  int64_t received;  // messages of the last job
};

// A negative acknowledgement and a number over 19 bytes, the two faults the policies treat
// differently.
TEST(GatewayJobTest, FaultsEachPolicyTreatsItsOwnWay) {
  struct Case {
    const char* name;
    std::vector<std::string> gate_args;
    std::vector<std::string> numbers;
    Expected direct, group, excel;
  };
  std::vector<std::string> long_second = Numbers(3);
  long_second[1] = "01234567890123456789";  // 20 bytes
  const Case cases[] = {
      // Acknowledged negatively after message 51 of 120: the direct and Excel sends stop there
      // with the failure text; the group send logs it and sends the rest.
      {"negative acknowledgement",
       {"--nak-at", "50"},
       Numbers(120),
       {SendOutcome::kFailed, 1, 51},
       {SendOutcome::kSent, 1, 120},
       {SendOutcome::kFailed, 1, 51}},
      // The second of three numbers is 20 bytes: the direct send refuses the job before the
      // gateway is contacted; the group send skips that number; the Excel send ends the job when
      // the packet refuses the field (the message queued before it is dropped with the
      // connection).
      {"number over 19 bytes",
       {},
       long_second,
       {SendOutcome::kRefused, 0, 0},
       {SendOutcome::kSent, 1, 2},
       {SendOutcome::kFailed, 1, 0}},
  };
  for (const Case& c : cases) {
    for (Pipeline p : kPipelines) {
      SCOPED_TRACE(std::string(c.name) + ", " + NameOf(p));
      const Expected& want = p == Pipeline::kDirect  ? c.direct
                             : p == Pipeline::kGroup ? c.group
                                                     : c.excel;
      testing::TempDir dir;
      testing::GateSim sim(dir.path(), c.gate_args);
      const SendResult result = Send(p, sim.port(), dir.path(), SendKind::kSms, c.numbers);
      EXPECT_EQ(result.outcome, want.outcome);
      sim.Stop();
      const std::vector<testing::GateJob> jobs = sim.Jobs();
      ASSERT_EQ(static_cast<int64_t>(jobs.size()), want.jobs);
      if (!jobs.empty()) {
        EXPECT_EQ(jobs.back().received, want.received);
      }
    }
  }
}

// The type code of an MMS job header: from the package's items (direct, group) or from the
// picture names the order counts (Excel).
TEST(GatewayJobTest, MmsTypeCodeEachPolicyTakesFromItsOwnSource) {
  struct Case {
    const char* name;
    std::vector<std::string> pictures;
    const char* direct;
    const char* group;
    const char* excel;
  };
  const Case cases[] = {
      {"no pictures", {}, "TXT", "TXT", "TXT"},
      {"one picture", {"a.jpg"}, "IMT", "IMT", "IMT"},
      // An empty name counted by an Excel picture list ("<IMG>,"): no picture goes into the
      // package, yet the Excel job announces a picture message.
      {"an empty name only", {""}, "TXT", "TXT", "IMT"},
  };
  for (const Case& c : cases) {
    for (Pipeline p : kPipelines) {
      SCOPED_TRACE(std::string(c.name) + ", " + NameOf(p));
      testing::TempDir dir;
      std::filesystem::create_directories(dir.path() / "TempIMG");
      std::ofstream(dir.path() / "TempIMG" / "a.jpg", std::ios::binary) << std::string(500, 'A');
      testing::GateSim sim(dir.path());
      const SendResult result =
          Send(p, sim.port(), dir.path(), SendKind::kMms, Numbers(2), c.pictures);
      EXPECT_EQ(result.outcome, SendOutcome::kSent);
      const std::vector<testing::GateJob> jobs = sim.WaitForJobs(1);
      ASSERT_EQ(jobs.size(), 1u);
      EXPECT_EQ(jobs[0].header.type_code, p == Pipeline::kDirect  ? c.direct
                                          : p == Pipeline::kGroup ? c.group
                                                                  : c.excel);
      EXPECT_EQ(jobs[0].received, 2);
    }
  }
}

// Writes down every report of a job, one line each.
class ReportLog : public JobObserver {
 public:
  void Opened(const JobOpening& opening, std::string_view command) override {
    lines.push_back("opened " + std::string(command) + " " + opening.type_code + " " +
                    std::to_string(opening.count));
  }
  void JobIdGiven(std::string_view job_id) override {
    lines.push_back("job id " + std::string(job_id));
  }
  void MessageSent(int64_t index) override {
    // Messages go out one after another from 0; a gap or a repeat is written down.
    if (index != sent) lines.push_back("message " + std::to_string(index) + " out of order");
    sent = index + 1;
  }
  void Acknowledged(int64_t count) override {
    lines.push_back("acknowledged " + std::to_string(count));
  }
  void Ended(JobEnd how, int64_t handed) override {
    lines.push_back(std::string(JobEndName(how)) + " " + std::to_string(handed) + " (" +
                    std::to_string(sent) + " reported)");
  }

  std::vector<std::string> lines;
  int64_t sent = 0;
};

// Each pipeline reports the same steps through one observer, which hands them to two (as a send
// journal would listen beside the engine's record); a cancel asked before the job starts stops
// it after the first acknowledgement, ending the job as a finished one ends.
TEST(GatewayJobTest, ReportsEachStepAndStopsWhenCancelled) {
  const char* const commands[] = {"DSEND", "ASEND", "ESEND"};
  for (const bool cancel : {false, true}) {
    for (Pipeline p : kPipelines) {
      SCOPED_TRACE(std::string(NameOf(p)) + (cancel ? ", cancelled" : ""));
      testing::TempDir dir;
      testing::GateSim sim(dir.path(), {"--job-id", "J42"});
      ReportLog first;
      ReportLog second;
      JobObservers both;
      both.Add(&first);
      both.Add(&second);
      const SendResult result =
          Send(p, sim.port(), dir.path(), SendKind::kSms, Numbers(120), {}, &both, &cancel);
      const std::string opened =
          "opened " + std::string(commands[static_cast<size_t>(p)]) + " SMS 120";
      const std::vector<std::string> want =
          cancel ? std::vector<std::string>{opened, "job id J42", "acknowledged 51",
                                            "cancelled 51 (51 reported)"}
                 : std::vector<std::string>{opened,
                                            "job id J42",
                                            "acknowledged 51",
                                            "acknowledged 101",
                                            "acknowledged 120",
                                            "done 120 (120 reported)"};
      EXPECT_EQ(first.lines, want);
      EXPECT_EQ(second.lines, want);
      EXPECT_EQ(result.outcome, cancel ? SendOutcome::kCancelled : SendOutcome::kSent);
      EXPECT_EQ(result.count, cancel ? 51 : 120);
      const std::vector<testing::GateJob> jobs = sim.WaitForJobs(1);
      ASSERT_EQ(jobs.size(), 1u);
      EXPECT_EQ(jobs[0].received, result.count);
      EXPECT_EQ(jobs[0].end, "client closed");
    }
  }
}

}  // namespace
}  // namespace parley
