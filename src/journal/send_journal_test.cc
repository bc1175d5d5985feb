#include "journal/send_journal.h"

#include "journal/recipient_chunk.h"

#include <sched.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace parley {
namespace {

namespace fs = std::filesystem;

class SendJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("journal-test-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = dir_ / kJournalFileName;
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::replace);
    fs::remove_all(dir_);
  }

  static std::vector<JournalRecipient> Recipients(size_t n) {
    std::vector<JournalRecipient> list;
    for (size_t i = 0; i < n; ++i) {
      list.push_back(
          {"010" + std::to_string(10000000 + i), i % 3 == 0 ? "row " + std::to_string(i) : ""});
    }
    return list;
  }
  static JournalJobInfo Info() {
    return {.command = "DSEND",
            .kind = "SMS",
            .title = "title",
            .text = "\xbe\xc8\xb3\xe7",  // CP949 bytes, kept as they are
            .callback = "0212345678",
            .reserve_date = "",
            .source = "typed list"};
  }

  fs::path dir_;
  fs::path path_;
};

TEST(JournalJobTest, StatesAddUpForEveryEnding) {
  struct Case {
    JobEnding ending;
    int64_t acknowledged, handed;
    JobCounts expected;  // total 200
  };
  const Case cases[] = {
      {JobEnding::kDone, 150, 200, {200, 200, 0, 0}},         // done: every handed one
      {JobEnding::kClosed, 50, 110, {200, 50, 60, 90}},       // hung up after 110
      {JobEnding::kNack, 50, 51, {200, 50, 1, 149}},          //
      {JobEnding::kCancelled, 100, 100, {200, 100, 0, 100}},  //
      {JobEnding::kInterrupted, 0, 52, {200, 0, 52, 148}},    // killed before the first ack
      {JobEnding::kRefused, 0, 0, {200, 0, 0, 200}},          // nothing went out
      {JobEnding::kRunning, 300, 500, {200, 200, 0, 0}},      // figures past the total clamp
  };
  for (const Case& c : cases) {
    JournalJob job;
    job.total = 200;
    job.ending = c.ending;
    job.acknowledged = c.acknowledged;
    job.handed = c.handed;
    const JobCounts counts = job.Counts();
    SCOPED_TRACE(EndingName(c.ending));
    EXPECT_EQ(counts.acknowledged, c.expected.acknowledged);
    EXPECT_EQ(counts.in_doubt, c.expected.in_doubt);
    EXPECT_EQ(counts.not_sent, c.expected.not_sent);
    JobCounts by_state;
    for (int64_t i = 0; i < job.total; ++i) {
      switch (job.StateOf(i)) {
        case RecipientState::kAcknowledged:
          ++by_state.acknowledged;
          break;
        case RecipientState::kInDoubt:
          ++by_state.in_doubt;
          break;
        case RecipientState::kNotSent:
          ++by_state.not_sent;
          break;
      }
    }
    EXPECT_EQ(by_state.acknowledged, counts.acknowledged);
    EXPECT_EQ(by_state.in_doubt, counts.in_doubt);
  }
}

TEST(RecipientChunkTest, PacksAnyBytesAndStopsAtADamagedLength) {
  const std::vector<JournalRecipient> recipients = {
      {"01012345678", ""},
      {std::string("a\0b", 3), std::string(300, '\xb0')},  // NUL bytes, a two-byte length
      {"", "x"},
  };
  std::string chunk;
  PackRecipients(recipients, &chunk);
  std::vector<JournalRecipient> back;
  ASSERT_TRUE(UnpackRecipients(chunk, &back));
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[1].number, recipients[1].number);
  EXPECT_EQ(back[1].content, recipients[1].content);

  for (const std::string& damaged :
       {chunk.substr(0, chunk.size() - 1), std::string("\x85\x80\x80\x80\x80\x01"),
        std::string("\x0b"
                    "0101")}) {
    back.clear();
    EXPECT_FALSE(UnpackRecipients(damaged, &back));
  }
  back.clear();
  EXPECT_FALSE(UnpackRecipients(chunk.substr(0, chunk.size() - 1), &back));
  EXPECT_EQ(back.size(), 2u);  // the whole ones before the fault
}

TEST_F(SendJournalTest, JobRecipientsAndProgressReadBackInOrder) {
  SendJournal::Opened opened = SendJournal::Open(path_, 1000);
  ASSERT_NE(opened.journal, nullptr) << opened.error;
  SendJournal& journal = *opened.journal;
  const auto recipients = Recipients(600);
  const std::span<const JournalRecipient> all(recipients);
  std::string error;
  const auto id = journal.BeginJob(Info(), 600, all.first(200), 1000, &error);  // then in pieces
  ASSERT_TRUE(id) << error;
  ASSERT_TRUE(journal.SetGatewayJobId(*id, "JOB42"));
  ASSERT_TRUE(journal.Record(*id, all.subspan(200, 250), 51, 101));
  ASSERT_TRUE(journal.Record(*id, all.subspan(450), 101, 151));
  ASSERT_TRUE(journal.EndJob(*id, JobEnding::kClosed, 140, 1010));

  const auto job = journal.FindJob(*id);
  ASSERT_TRUE(job);
  EXPECT_EQ(job->info.text, Info().text);
  EXPECT_EQ(job->gateway_job_id, "JOB42");
  EXPECT_EQ(job->ending, JobEnding::kClosed);
  EXPECT_EQ(job->ending_at, 140);
  EXPECT_EQ(job->Counts().in_doubt, 50);

  std::vector<JournalRecipient> seen;
  journal.ForEachRecipient(*id, [&](int64_t index, const JournalRecipient& r, RecipientState) {
    EXPECT_EQ(index, static_cast<int64_t>(seen.size()));
    seen.push_back(r);
  });
  ASSERT_EQ(seen.size(), recipients.size());
  EXPECT_EQ(seen[599].number, recipients[599].number);
  EXPECT_EQ(seen[513].content, recipients[513].content);

  const auto rest = journal.RestOf(*job, false);
  ASSERT_EQ(rest.size(), 449u);
  EXPECT_EQ(rest.front().number, recipients[151].number);
  EXPECT_EQ(journal.RestOf(*job, true).size(), 499u);

  JournalJobInfo again = Info();
  again.resend_of = *id;
  const auto resend =
      journal.BeginJob(again, static_cast<int64_t>(rest.size()), rest, 1020, &error);
  ASSERT_TRUE(resend);
  const auto jobs = journal.ListJobs(10);
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].id, *resend);  // newest first
  EXPECT_EQ(jobs[0].info.resend_of, *id);
  EXPECT_EQ(jobs[0].total, 449);
}

TEST_F(SendJournalTest, RestartMarksRunningJobsInterruptedOnce) {
  std::string error;
  {
    auto opened = SendJournal::Open(path_, 1000);
    ASSERT_NE(opened.journal, nullptr);
    const auto id = opened.journal->BeginJob(Info(), 10, Recipients(10), 1000, &error);
    ASSERT_TRUE(id);
    opened.journal->Record(*id, {}, 0, 10);
  }
  auto first = SendJournal::Open(path_, 2000);
  ASSERT_NE(first.journal, nullptr);
  EXPECT_EQ(first.interrupted, 1);
  const auto job = first.journal->ListJobs(1).at(0);
  EXPECT_EQ(job.ending, JobEnding::kInterrupted);
  EXPECT_EQ(job.Counts().in_doubt, 10);
  first.journal.reset();
  EXPECT_EQ(SendJournal::Open(path_, 3000).interrupted, 0);
}

// The bytes of the file at path.
std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// An SQLite file at path made by sql.
void MakeDatabase(const fs::path& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

int64_t PragmaOf(const fs::path& path, const char* pragma) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, pragma, -1, &stmt, nullptr);
  const int64_t value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return value;
}

// A journal with one job, closed, whose pages after the first are then overwritten.
void MakeDamagedJournal(const fs::path& path) {
  {
    auto opened = SendJournal::Open(path, 1);
    ASSERT_NE(opened.journal, nullptr) << opened.error;
    std::string error;
    ASSERT_TRUE(opened.journal->BeginJob(
        JournalJobInfo{}, 1, std::vector<JournalRecipient>{{"01012345678", ""}}, 1, &error));
  }
  ASSERT_FALSE(fs::exists(path.string() + "-wal"));  // all in the file once closed
  const auto size = fs::file_size(path);
  ASSERT_GT(size, 4096u);
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(4096);
  const std::string junk(size - 4096, '\x5a');
  file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
}

TEST_F(SendJournalTest, OnlyADamagedJournalIsMovedAsideAnyOtherFileIsLeftAsItIs) {
  struct Case {
    const char* name;
    void (*write)(const fs::path&);
    bool journal;  // the file is a damaged journal: moved aside and a new one started
  };
  const Case cases[] = {
      {"a text", [](const fs::path& p) { std::ofstream(p) << "고객,01012345678\n"; }, false},
      {"garbage", [](const fs::path& p) { std::ofstream(p) << std::string(8192, 'x'); }, false},
      {"an address book",
       [](const fs::path& p) {
         MakeDatabase(p,
                      "CREATE TABLE GROUP_TB(GROUP_NAME TEXT); INSERT INTO GROUP_TB "
                      "VALUES('고객')");
       },
       false},
      {"another program's database with its own id",
       [](const fs::path& p) { MakeDatabase(p, "PRAGMA application_id = 7; CREATE TABLE t(x)"); },
       false},
      {"another database at a journal's user_version",
       [](const fs::path& p) { MakeDatabase(p, "CREATE TABLE jobs(x); PRAGMA user_version = 2"); },
       false},
      {"a newer engine's journal",
       [](const fs::path& p) {
         SendJournal::Open(p, 1);
         MakeDatabase(p, "PRAGMA user_version = 99");
       },
       false},
      {"a damaged journal", [](const fs::path& p) { MakeDamagedJournal(p); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ASSERT_NO_FATAL_FAILURE(c.write(path_));
    const std::string before = Bytes(path_);
    auto opened = SendJournal::Open(path_, 777);
    const fs::path aside = path_.string() + ".corrupt-777";
    if (c.journal) {
      ASSERT_NE(opened.journal, nullptr) << opened.error;
      EXPECT_EQ(opened.moved_aside, aside);
      EXPECT_EQ(Bytes(aside), before);  // kept for the user
      std::string error;
      EXPECT_TRUE(opened.journal->BeginJob(Info(), 3, Recipients(3), 777, &error)) << error;
    } else {
      EXPECT_EQ(opened.journal, nullptr);
      EXPECT_NE(opened.error.find("left as it is"), std::string::npos) << opened.error;
      EXPECT_TRUE(opened.moved_aside.empty());
      EXPECT_FALSE(fs::exists(aside));
      EXPECT_EQ(Bytes(path_), before);
    }
  }
}

TEST_F(SendJournalTest, AJournalCarriesItsIdAndAnOlderOneIsKnownByItsTables) {
  {
    auto opened = SendJournal::Open(path_, 1);
    ASSERT_NE(opened.journal, nullptr);
    std::string error;
    ASSERT_TRUE(opened.journal->BeginJob(Info(), 3, Recipients(3), 1, &error)) << error;
  }
  EXPECT_EQ(PragmaOf(path_, "PRAGMA application_id"), 0x504A4E4C);
  // As a journal from before the id: version 3, no id.
  MakeDatabase(path_, "PRAGMA application_id = 0");
  auto opened = SendJournal::Open(path_, 2);
  ASSERT_NE(opened.journal, nullptr) << opened.error;
  EXPECT_TRUE(opened.moved_aside.empty());
  EXPECT_EQ(opened.journal->ListJobs(10).size(), 1u);
  opened.journal.reset();
  EXPECT_EQ(PragmaOf(path_, "PRAGMA application_id"), 0x504A4E4C);
}

TEST_F(SendJournalTest, AFolderThatCannotBeWrittenRefusesToOpen) {
  EXPECT_EQ(SendJournal::Open(dir_ / "missing" / kJournalFileName, 1).journal, nullptr);
  EXPECT_EQ(SendJournal::Open("/proc/" + std::string(kJournalFileName), 1).journal, nullptr);
  if (::geteuid() != 0) {  // root writes into a read-only folder all the same
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    const auto opened = SendJournal::Open(path_, 1);
    EXPECT_EQ(opened.journal, nullptr);
    EXPECT_FALSE(opened.error.empty());
  }
}

TEST_F(SendJournalTest, AnUnpostedReportIsRetriedAtMostOnceAMinuteUntilPosted) {
  auto opened = SendJournal::Open(path_, 0);
  SendJournal& journal = *opened.journal;
  std::string error;
  const auto id = journal.BeginJob(Info(), 2, Recipients(2), 0, &error);
  ASSERT_TRUE(journal.SaveReport(*id, "form=1"));
  ASSERT_EQ(journal.TakeReportsToRetry(100, 60).size(), 1u);
  EXPECT_TRUE(journal.TakeReportsToRetry(130, 60).empty());  // tried 30 s ago
  const auto again = journal.TakeReportsToRetry(160, 60);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].report, "form=1");
  ASSERT_TRUE(journal.MarkReportAnswered(*id, true, 161));
  EXPECT_TRUE(journal.TakeReportsToRetry(1000, 60).empty());  // never posted twice
  EXPECT_EQ(journal.FindJob(*id)->report, ReportState::kPosted);
  // A report the service answered with a refusal is not posted again either.
  const auto refused = journal.BeginJob(Info(), 2, Recipients(2), 0, &error);
  ASSERT_TRUE(journal.SaveReport(*refused, "form=2"));
  ASSERT_EQ(journal.TakeReportsToRetry(2000, 60).size(), 1u);
  ASSERT_TRUE(journal.MarkReportAnswered(*refused, false, 2001));
  EXPECT_TRUE(journal.TakeReportsToRetry(9000, 60).empty());
  EXPECT_EQ(journal.FindJob(*refused)->report, ReportState::kRefused);
}

TEST_F(SendJournalTest, ForgetRemovesOnlyOldEndedJobsWhoseReportsWereAnswered) {
  auto opened = SendJournal::Open(path_, 0);
  SendJournal& journal = *opened.journal;
  std::string error;
  const auto old_done = journal.BeginJob(Info(), 5, Recipients(5), 100, &error);
  journal.EndJob(*old_done, JobEnding::kDone, 5, 101);
  const auto old_running = journal.BeginJob(Info(), 5, Recipients(5), 100, &error);
  const auto recent = journal.BeginJob(Info(), 5, Recipients(5), 500, &error);
  journal.EndJob(*recent, JobEnding::kDone, 5, 501);
  // Old and ended, with a sent report: posted, refused by the service, and not posted yet.
  int64_t reported[3] = {};
  for (int64_t& id : reported) {
    id = *journal.BeginJob(Info(), 5, Recipients(5), 100, &error);
    journal.EndJob(id, JobEnding::kDone, 5, 101);
    journal.SaveReport(id, "form");
  }
  journal.MarkReportAnswered(reported[0], true, 102);
  journal.MarkReportAnswered(reported[1], false, 102);
  const SendJournal::Forgotten forgotten = journal.Forget(200);
  EXPECT_EQ(forgotten.forgotten, 3);
  EXPECT_EQ(forgotten.kept_for_report, 1);
  EXPECT_FALSE(journal.FindJob(*old_done));
  EXPECT_FALSE(journal.FindJob(reported[0]));
  EXPECT_FALSE(journal.FindJob(reported[1]));
  EXPECT_TRUE(journal.FindJob(reported[2])) << "its report is still to be posted";
  EXPECT_EQ(journal.TakeReportsToRetry(1000, 60).size(), 1u);
  EXPECT_TRUE(journal.FindJob(*old_running));
  EXPECT_TRUE(journal.FindJob(*recent));
  // Once the service has answered, the job goes.
  journal.MarkReportAnswered(reported[2], true, 1000);
  EXPECT_EQ(journal.Forget(200).forgotten, 1);
  int rows = 0;
  journal.ForEachRecipient(*old_done,
                           [&](int64_t, const JournalRecipient&, RecipientState) { ++rows; });
  EXPECT_EQ(rows, 0);
}

TEST_F(SendJournalTest, TheTapeOfAJobIsFoldedInAtItsEndOrAtTheNextOpen) {
  const auto recipients = Recipients(120);
  std::string error;
  for (const bool ended : {true, false}) {
    SCOPED_TRACE(ended ? "ended" : "engine stopped");
    auto opened = SendJournal::Open(path_, 0);
    ASSERT_NE(opened.journal, nullptr);
    const auto id = opened.journal->BeginJob(Info(), 120, {}, 0, &error);
    ASSERT_TRUE(id) << error;
    for (int i = 0; i < 120; ++i) {
      opened.journal->AddRecipient(*id, recipients[i].number, recipients[i].content);
      if (i == 59) {
        ASSERT_TRUE(opened.journal->Checkpoint(*id, 0, 60));
      }
    }
    ASSERT_TRUE(opened.journal->Checkpoint(*id, 51, 120));
    if (ended) {
      ASSERT_TRUE(opened.journal->EndJob(*id, JobEnding::kClosed, 110, 1));
    } else {
      opened.journal.reset();  // as if killed: the tape stays behind
      opened = SendJournal::Open(path_, 2);
      EXPECT_EQ(opened.interrupted, 1);
    }
    const auto job = opened.journal->FindJob(*id);
    ASSERT_TRUE(job);
    EXPECT_EQ(job->Counts().acknowledged, 51);
    EXPECT_EQ(job->Counts().in_doubt, 69);
    std::vector<std::string> numbers;
    opened.journal->ForEachRecipient(*id, [&](int64_t, const JournalRecipient& r, RecipientState) {
      numbers.push_back(r.number);
    });
    ASSERT_EQ(numbers.size(), 120u);
    EXPECT_EQ(numbers[119], recipients[119].number);
    EXPECT_FALSE(fs::exists(path_.string() + ".tape-" + std::to_string(*id)));
  }
}

TEST_F(SendJournalTest, ARecordCutShortOnTheTapeIsLeftOut) {
  std::string error;
  int64_t id = 0;
  {
    auto opened = SendJournal::Open(path_, 0);
    id = *opened.journal->BeginJob(Info(), 10, {}, 0, &error);
    for (int i = 0; i < 4; ++i)
      opened.journal->AddRecipient(id, "0101234567" + std::to_string(i), "");
    opened.journal->Checkpoint(id, 0, 4);
    for (int i = 4; i < 8; ++i)
      opened.journal->AddRecipient(id, "0101234567" + std::to_string(i), "");
    opened.journal->Checkpoint(id, 0, 8);
  }
  // The stop came after the second batch's bytes were stored but before its tag was.
  {
    std::fstream tape(path_.string() + ".tape-" + std::to_string(id),
                      std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes(4096, '\0');
    tape.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const size_t second = bytes.find('R', bytes.find('R') + 1);
    ASSERT_NE(second, std::string::npos);
    tape.clear();
    tape.seekp(static_cast<std::streamoff>(second));
    tape.put('\0');
  }
  auto opened = SendJournal::Open(path_, 1);
  const auto job = opened.journal->FindJob(id);
  EXPECT_EQ(job->handed, 4);  // the second batch had not been handed on
  int rows = 0;
  opened.journal->ForEachRecipient(
      id, [&](int64_t, const JournalRecipient&, RecipientState) { ++rows; });
  EXPECT_EQ(rows, 4);
}

// A process killed at any moment leaves a journal whose jobs add up: each job holds all its
// recipients or is absent, and acknowledged + in doubt + not sent = total.
TEST_F(SendJournalTest, KilledWriterLeavesConsistentJobs) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 6; ++round) {
    const size_t total = round % 2 == 0 ? 1000 : 20000;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      auto opened = SendJournal::Open(path_, round);
      if (!opened.journal) ::_exit(3);
      std::string error;
      const auto recipients = Recipients(total);
      const std::span<const JournalRecipient> all(recipients);
      for (;;) {
        // As a send records them: each recipient, and before every 50 leave, the progress.
        const auto id =
            opened.journal->BeginJob(Info(), static_cast<int64_t>(total), {}, round, &error);
        if (!id) ::_exit(4);
        for (size_t i = 0; i < total; ++i) {
          opened.journal->AddRecipient(*id, all[i].number, all[i].content);
          if ((i + 1) % 50 == 0 || i + 1 == total) {
            const auto handed = static_cast<int64_t>(i + 1);
            opened.journal->Checkpoint(*id, std::max<int64_t>(0, handed - 52), handed);
          }
        }
        opened.journal->EndJob(*id, JobEnding::kDone, static_cast<int64_t>(total), round);
      }
    }
    ::usleep(std::uniform_int_distribution<useconds_t>(20'000, 200'000)(random));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself: " << WEXITSTATUS(status);

    auto opened = SendJournal::Open(path_, 100 + round);
    ASSERT_NE(opened.journal, nullptr) << opened.error;
    EXPECT_TRUE(opened.moved_aside.empty());
    EXPECT_LE(opened.interrupted, 1);
    for (const JournalJob& job : opened.journal->ListJobs(1000)) {
      ASSERT_NE(job.ending, JobEnding::kRunning);
      const JobCounts counts = job.Counts();
      EXPECT_EQ(counts.acknowledged + counts.in_doubt + counts.not_sent, job.total);
      int64_t rows = 0;
      opened.journal->ForEachRecipient(
          job.id, [&](int64_t, const JournalRecipient&, RecipientState) { ++rows; });
      // Every recipient that may have gone out is known by number.
      ASSERT_GE(rows, counts.acknowledged + counts.in_doubt) << "job " << job.id;
    }
  }
}

// A tmpfs of `kilobytes` mounted at dir (a mount namespace of this process's own keeps it from
// outliving the test); false where the environment cannot give one (not root, no namespaces).
bool MountSmallDisk(const fs::path& dir, int kilobytes) {
  static const bool unshared = ::unshare(CLONE_NEWNS) == 0 &&
                               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  const std::string size = "size=" + std::to_string(kilobytes) + "k";
  return unshared &&
         ::mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, size.c_str()) == 0;
}

// On a full disk a job that cannot have its tape's room is refused as it begins, and one that
// fills the disk as it runs has its next write refused: the process lives on, and what the tape
// took reads back whole.
TEST_F(SendJournalTest, AFullDiskRefusesTheTapeNeverTheProcess) {
  const fs::path disk = dir_ / "disk";
  fs::create_directories(disk);
  if (!MountSmallDisk(disk, 512)) GTEST_SKIP() << "no tmpfs can be mounted here";
  struct Unmount {
    fs::path dir;
    ~Unmount() { ::umount2(dir.c_str(), MNT_DETACH); }
  } unmount{disk};
  const fs::path path = disk / kJournalFileName;
  auto opened = SendJournal::Open(path, 1);
  ASSERT_NE(opened.journal, nullptr) << opened.error;
  SendJournal& journal = *opened.journal;
  std::string error;
  EXPECT_FALSE(journal.BeginJob(Info(), 100000, {}, 1, &error));
  EXPECT_NE(error.find("No space left"), std::string::npos) << error;

  const auto id = journal.BeginJob(Info(), 10, {}, 1, &error);
  ASSERT_TRUE(id) << error;
  const auto recipients = Recipients(1000);
  int64_t stored = 0;
  bool full = false;
  for (int batch = 0; batch < 200 && !full; ++batch) {
    for (const JournalRecipient& r : recipients) journal.AddRecipient(*id, r.number, r.content);
    full = !journal.Checkpoint(*id, 0, stored + 1000);
    if (!full) stored += 1000;
  }
  ASSERT_TRUE(full) << "the disk never filled";
  EXPECT_GT(stored, 0);
  const auto tape = ReadJobTape(path.string() + ".tape-" + std::to_string(*id));
  ASSERT_TRUE(tape);
  int64_t read = 0;
  for (const PackedRun& run : tape->runs) read += run.count;
  EXPECT_EQ(read, stored);
  EXPECT_EQ(tape->handed, stored);
}

TEST_F(SendJournalTest, AJobKeepsItsAdvertisingMarksAndAnOlderJournalGainsThem) {
  {
    auto opened = SendJournal::Open(path_, 1);
    ASSERT_NE(opened.journal, nullptr) << opened.error;
    std::string error;
    ASSERT_TRUE(opened.journal->BeginJob(Info(), 1, Recipients(1), 1, &error)) << error;
  }
  // As a journal of the version before the marks: no marks column, user_version 3.
  MakeDatabase(path_, "ALTER TABLE jobs DROP COLUMN marks; PRAGMA user_version = 3");
  auto opened = SendJournal::Open(path_, 2);
  ASSERT_NE(opened.journal, nullptr) << opened.error;
  EXPECT_TRUE(opened.moved_aside.empty());
  JournalJobInfo advert = Info();
  advert.advert = true;
  JournalJobInfo consented = advert;
  consented.night_consent = true;
  std::string error;
  ASSERT_TRUE(opened.journal->BeginJob(advert, 1, Recipients(1), 3, &error)) << error;
  ASSERT_TRUE(opened.journal->BeginJob(consented, 1, Recipients(1), 4, &error)) << error;
  const std::vector<JournalJob> jobs = opened.journal->ListJobs(10);  // newest first
  ASSERT_EQ(jobs.size(), 3u);
  const std::pair<bool, bool> marks[] = {{true, true}, {true, false}, {false, false}};
  for (size_t i = 0; i < jobs.size(); ++i) {
    EXPECT_EQ(std::make_pair(jobs[i].info.advert, jobs[i].info.night_consent), marks[i]) << i;
  }
  opened.journal.reset();
  EXPECT_EQ(PragmaOf(path_, "PRAGMA user_version"), 4);
}

}  // namespace
}  // namespace parley
