// What the send journal records about a gateway job and its recipients, and the states a
// recipient can be in once the job has run.
#ifndef PARLEY_JOURNAL_JOURNAL_TYPES_H_
#define PARLEY_JOURNAL_JOURNAL_TYPES_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace parley {

// How a job ended, as the status extension names it; kRunning while it has not ended (or, read
// back after a restart, kInterrupted: the engine stopped before the job ended).
enum class JobEnding {
  kRunning,
  kDone,
  kRefused,
  kNoAnswer,
  kClosed,
  kNack,
  kCancelled,
  kFailed,
  kInterrupted,
};

// The token of an ending ("running", "done", "refused", "no-answer", "closed", "nack",
// "cancelled", "failed", "interrupted") and back; an unknown token reads as kFailed.
std::string_view EndingName(JobEnding ending);
JobEnding EndingFromName(std::string_view name);

// The job as the user ordered it. Text fields are CP949 bytes, stored as they are.
struct JournalJobInfo {
  std::string command;  // "DSEND", "ASEND" or "ESEND"
  std::string kind;     // "SMS", "LMS" or "MMS"
  std::string title;
  std::string text;  // the text, or the template of a workbook send
  std::string callback;
  std::string reserve_date;    // 12 digits, or empty for now
  std::string source;          // where the recipients came from, for people to read
  int64_t resend_of = 0;       // the journal id of the job this one sends the rest of; 0: none
  bool advert = false;         // an advertising send (the sending rules apply to its rest)
  bool night_consent = false;  // its recipients consented apart to night advertising
};

// One recipient in job order. `content` is the composed text when it differs from the job's
// text, the package's digest for a picture message, or empty for the job's own text.
struct JournalRecipient {
  std::string number;
  std::string content;
};

// A row (or number) a send left out before the gateway: never sent, with why.
struct JournalLeftOut {
  int64_t place = 0;  // its row in the sheet, or its place among the numbers left out
  std::string value;  // the cell as it was (CP949)
  // which cell and the problem, e.g. "phone not-mobile"; "opted-out" for a number on the
  // opt-out list
  std::string reason;
};

enum class RecipientState {
  kAcknowledged,  // the gateway confirmed it
  kInDoubt,       // handed out after the last acknowledgement of a job that did not end cleanly
  kNotSent,       // never handed to the gateway (or refused as a number before it)
};

std::string_view StateName(RecipientState state);  // "acknowledged", "in doubt", "not sent"

struct JobCounts {
  int64_t total = 0;
  int64_t acknowledged = 0;
  int64_t in_doubt = 0;
  int64_t not_sent = 0;
};

// Where a job's sent report stands.
enum class ReportState {
  kNone,     // the job made no report
  kPending,  // made, not yet taken by the web service (posted again later)
  kPosted,   // the web service took it
  kRefused,  // the web service answered that it does not take it
};

// "none", "pending", "posted", "refused".
std::string_view ReportStateName(ReportState state);

// A job read back from the journal.
struct JournalJob {
  int64_t id = 0;
  int64_t started = 0;  // Unix seconds
  int64_t ended = 0;    // Unix seconds; 0 while running
  JournalJobInfo info;
  int64_t total = 0;
  std::string gateway_job_id;
  int64_t handed = 0;        // recipients [0, handed) may have been handed to the gateway
  int64_t acknowledged = 0;  // recipients [0, acknowledged) were confirmed by the gateway
  JobEnding ending = JobEnding::kRunning;
  int64_t ending_at = 0;                    // the message count at which it ended
  ReportState report = ReportState::kNone;  // its sent report
  int64_t left_out = 0;  // rows left out before the gateway, not counted in total

  // The state of recipient `index` (0-based): acknowledged below `acknowledged` (every handed one
  // once the job is done), in doubt up to `handed`, not sent after.
  RecipientState StateOf(int64_t index) const;
  JobCounts Counts() const;
};

}  // namespace parley

#endif  // PARLEY_JOURNAL_JOURNAL_TYPES_H_
