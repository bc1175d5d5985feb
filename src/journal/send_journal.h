// The send journal: an SQLite file (WAL) that knows, for every gateway job, what was ordered,
// its recipients in order, how far the gateway acknowledged it and how it ended, so that a job
// cut short can be resent to exactly the recipients it did not reach. The engine never empties
// it; jobs go only when the user forgets them.
//
// Writes are cheap enough for the send loop: while a job runs, its recipients and progress go
// to the job's tape (job_tape.h), a copy into mapped memory per batch of messages; a job's end
// writes its ending and counts to the database, and the tapes of ended jobs are folded into it
// when jobs are listed or recipients read, and when the journal is opened.
#ifndef PARLEY_JOURNAL_SEND_JOURNAL_H_
#define PARLEY_JOURNAL_SEND_JOURNAL_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "journal/job_tape.h"
#include "journal/journal_types.h"

struct sqlite3;

namespace parley {

class StatementCache;

// The journal's file name beside the address book.
inline constexpr char kJournalFileName[] = "parley-journal.db";

class SendJournal {
 public:
  struct Opened {
    std::unique_ptr<SendJournal> journal;  // null when the journal cannot be used
    std::string error;                     // why not (UTF-8), when journal is null
    std::filesystem::path moved_aside;     // a damaged journal found at the path now lives here
    int64_t interrupted = 0;  // jobs left running by an engine that stopped, now marked so
  };

  // Opens the journal at path, creating it when missing. A journal is known by its SQLite
  // application id (set at creation and on upgrade), or, from before the id, by its version and
  // tables. A journal whose pages do not read back is renamed to "<path>.corrupt-<unix time>"
  // (with its -wal and -shm) and a new one started; any other file (a text, the address book,
  // another program's database, a newer engine's journal) is left as it is and the open fails
  // with the reason. A folder that cannot be written fails the open: a send must not go
  // unrecorded.
  static Opened Open(const std::filesystem::path& path, int64_t now);

  ~SendJournal();
  SendJournal(const SendJournal&) = delete;
  SendJournal& operator=(const SendJournal&) = delete;

  // Records a job of `total` recipients before its header goes out, with its first recipients
  // (all of them when the caller has them; the rest follow through AddRecipient or Record), and
  // starts its tape. Returns its journal id, or nullopt with *error set.
  std::optional<int64_t> BeginJob(const JournalJobInfo& info, int64_t total,
                                  std::span<const JournalRecipient> recipients, int64_t now,
                                  std::string* error);
  // The job's total, once its recipients are all recorded (when it differs from the header's).
  bool SetTotal(int64_t job, int64_t total);
  // The gateway's job id, once its reply has come.
  bool SetGatewayJobId(int64_t job, std::string_view gateway_job_id);
  // The job's text and callback, once known (a recipient's content is stored only where it
  // differs from the text).
  bool SetJobText(int64_t job, std::string_view text, std::string_view callback);
  // Keeps a package (an LMS or MMS message as sent) of job under its digest, so that the job's
  // rest can be sent again; a package kept already is not written twice.
  bool KeepPackage(int64_t job, std::string_view digest, std::string_view package);
  // A package the job kept, by digest.
  std::optional<std::string> Package(int64_t job, std::string_view digest);
  // In one transaction: the next recipients of the job in order (may be empty), and progress:
  // recipients [0, acknowledged) are confirmed and [0, handed) may have gone out. Call with
  // `handed` raised, and its recipients recorded, before those messages reach the socket.
  bool Record(int64_t job, std::span<const JournalRecipient> recipients, int64_t acknowledged,
              int64_t handed);
  // The next recipient of running job `job`, held until its next Checkpoint.
  void AddRecipient(int64_t job, std::string_view number, std::string_view content);
  // Writes the held recipients and the progress to the job's tape; call before the messages
  // counted in `handed` can leave. False when the tape cannot be written or the job is not
  // running. Jobs may run side by side, each with its own tape.
  bool Checkpoint(int64_t job, int64_t acknowledged, int64_t handed);

  // How the job ended, at which message count, with the last progress of its tape.
  bool EndJob(int64_t job, JobEnding ending, int64_t at, int64_t now);

  // The sent report of a job (the form as posted), and that the web service took it.
  bool SaveReport(int64_t job, std::string_view report);
  // The web service answered the report's post: it took it, or it refused it (never posted
  // again either way).
  bool MarkReportAnswered(int64_t job, bool taken, int64_t now);
  struct PendingReport {
    int64_t job = 0;
    std::string report;
  };
  // Reports not posted yet whose last attempt is at least `min_gap_seconds` old; each call
  // stamps the ones it returns as attempted at `now`.
  std::vector<PendingReport> TakeReportsToRetry(int64_t now, int64_t min_gap_seconds);

  // The newest `limit` jobs, newest first.
  std::vector<JournalJob> ListJobs(int64_t limit);
  std::optional<JournalJob> FindJob(int64_t job);
  // The newest job that sent the rest of job, if any.
  std::optional<JournalJob> FindResendOf(int64_t job);
  // Calls visit for every recorded recipient of job in order, with its state; false when a
  // stored batch is damaged (the recipients before it are visited).
  bool ForEachRecipient(
      int64_t job,
      const std::function<void(int64_t index, const JournalRecipient&, RecipientState)>& visit);
  // The rows or numbers a job left out before the gateway (never sent), with why; the job's
  // left_out count follows. Recorded once, as the job begins.
  bool RecordLeftOut(int64_t job, std::span<const JournalLeftOut> rows);
  // The rows job left out, in order of their place.
  std::vector<JournalLeftOut> LeftOut(int64_t job);
  // The recorded recipients of job that the gateway never took: not sent, and in doubt when
  // asked.
  std::vector<JournalRecipient> RestOf(const JournalJob& job, bool include_in_doubt);
  struct Forgotten {
    int64_t forgotten = 0;        // jobs removed
    int64_t kept_for_report = 0;  // old enough, but kept: their sent report waits to be posted
  };
  // Removes the ended jobs started before `before` (Unix seconds) with their recipients and
  // packages. A running job stays, and so does a job whose sent report the web service has not
  // answered yet (it is posted from the journal).
  Forgotten Forget(int64_t before);

  const std::filesystem::path& path() const { return path_; }

 private:
  SendJournal(sqlite3* db, std::filesystem::path path);
  bool Exec(std::string_view sql);
  // Appends recipients to the job's stored ones, in runs of kTapeRunRecipients; the caller
  // holds the transaction.
  bool InsertChunk(int64_t job, std::span<const JournalRecipient> recipients);
  bool InsertPacked(int64_t job, int64_t count, std::string_view data);
  // Folds every tape beside the journal whose job is not running into its job (unless that was
  // done), then removes it. Not on the send path: a send never waits for it.
  void FoldTapes();
  void FoldTape(const std::filesystem::path& path);
  // "<journal>.tape-<job>".
  std::filesystem::path TapePath(int64_t job) const;
  static constexpr char kTapeSuffix[] = ".tape-";

  sqlite3* db_;
  std::filesystem::path path_;
  std::unique_ptr<StatementCache> cache_;
  struct RunningJob {
    JobTapeWriter tape;
    int64_t acknowledged = 0;  // the last progress written
    int64_t handed = 0;
  };
  std::map<int64_t, RunningJob> running_;  // between BeginJob and EndJob
};

}  // namespace parley

#endif  // PARLEY_JOURNAL_SEND_JOURNAL_H_
