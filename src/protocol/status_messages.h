// The extensions of the UI link: STATE (the engine's state and its current or last gateway job),
// CANCL (stop the running job at its next acknowledgement boundary), and over the send journal
// JOBLS (the newest jobs), JOBSH (one job), JOBEX (one job's recipients with their states,
// written to a file), JOBRS (send a job's rest again) and JOBFG (forget old jobs). An older UI
// program never sends them; an older engine answers each with an empty "INIT" reply. Fields are
// joined by "<QX>", CP949 on the wire.
#ifndef PARLEY_PROTOCOL_STATUS_MESSAGES_H_
#define PARLEY_PROTOCOL_STATUS_MESSAGES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parley::protocol {

// STATE and CANCL requests: an empty body when built; any body parses.
struct StateRequest {
  static StateRequest Parse(std::string_view) { return {}; }
  std::string Build() const { return {}; }
  bool operator==(const StateRequest&) const = default;
};
struct CancelRequest {
  static CancelRequest Parse(std::string_view) { return {}; }
  std::string Build() const { return {}; }
  bool operator==(const CancelRequest&) const = default;
};

// The STATE reply: 14 fields in this order (an engine before the send journal gave the first 13).
// Numbers are decimal; before the first job (job_number 0) the job's texts are empty and its
// counts 0.
struct StateReply {
  static constexpr size_t kFields = 14;
  static constexpr size_t kFieldsBeforeJournal = 13;
  std::string version;       // the engine's version text
  std::string home;          // the engine directory, absolute
  std::string address_book;  // the address book's path, absolute
  bool logged_in = false;    // "1" or "0"
  std::string login_id;      // empty unless logged_in
  int64_t job_number = 0;    // gateway jobs started since the engine started
  std::string command;       // "DSEND", "ASEND" or "ESEND"
  std::string kind;          // "SMS", "LMS" or "MMS"
  std::string state;         // "running", "done", "refused", "no-answer", "closed", "nack",
                             // "cancelled" or "failed"
  int64_t total = 0;         // the job header's count
  int64_t sent = 0;          // messages handed to the socket
  int64_t acknowledged = 0;  // messages the gateway confirmed
  std::string job_id;        // the gateway's job id; empty before its reply
  // What the user must know of the send journal, empty when nothing: it cannot be opened (no
  // send goes out), it was damaged and moved aside, or jobs were interrupted when the engine last
  // stopped.
  std::string journal_notice;

  // None unless the body has kFields fields (or kFieldsBeforeJournal: no notice); a number that
  // does not read whole as a decimal reads as 0.
  static std::optional<StateReply> Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const StateReply&) const = default;
};

// The CANCL reply: "1" when a running job was asked to stop, "0" when none was running.
struct CancelReply {
  bool asked = false;

  // None unless the body is "0" or "1".
  static std::optional<CancelReply> Parse(std::string_view body);
  std::string Build() const { return asked ? "1" : "0"; }
  bool operator==(const CancelReply&) const = default;
};

// JOBLS: the newest jobs of the send journal. Request: the most to list, decimal; empty or not a
// number lists kDefaultJobs, and at most kMaxJobs are listed.
struct JobListRequest {
  static constexpr int64_t kDefaultJobs = 20;
  static constexpr int64_t kMaxJobs = 1000;
  int64_t limit = kDefaultJobs;

  static JobListRequest Parse(std::string_view body);
  std::string Build() const { return std::to_string(limit); }
  bool operator==(const JobListRequest&) const = default;
};

// One job as JOBLS and JOBSH give it: kFields fields joined by "<QX>", its texts (title,
// source, text) with EscapeField, the ending as the status reply names it ("running" for the job
// that runs, "interrupted" for one a stopped engine left).
struct JobRow {
  static constexpr size_t kFields = 21;
  static constexpr size_t kFieldsBeforeLeftOut = 20;  // an engine before rows were left out
  int64_t id = 0;
  int64_t started = 0;  // Unix seconds
  int64_t ended = 0;    // Unix seconds; 0 while it runs
  std::string command;  // "DSEND", "ASEND", "ESEND", or "JOBRS" for a resend
  std::string kind;     // "SMS", "LMS" or "MMS"
  std::string title;
  std::string source;  // where the recipients came from
  std::string callback;
  std::string reserve_date;  // 12 digits, or empty
  std::string text;          // the job's text, or the template of a workbook send
  std::string gateway_job_id;
  int64_t total = 0;
  int64_t acknowledged = 0;
  int64_t in_doubt = 0;
  int64_t not_sent = 0;
  std::string ending;
  int64_t ending_at = 0;  // the message count at which it ended
  std::string report;     // "none" (no sent report made), "pending", "posted" or "refused"
  int64_t resend_of = 0;  // the job this one sent the rest of; 0 for none
  int64_t resent_as = 0;  // the newest job that sent this one's rest; 0 for none
  int64_t left_out = 0;   // rows left out before the gateway (never sent), not in total

  bool operator==(const JobRow&) const = default;
};

// A text inside a job row: "%" becomes "%25" and "<" becomes "%3C", so that no separator can
// appear in it; UnescapeField reverses it (any other "%" stays as it is).
std::string EscapeField(std::string_view text);
std::string UnescapeField(std::string_view text);

// The JOBLS and JOBSH reply: the rows, newest first, joined by "<Q>"; empty when there are none.
struct JobListReply {
  std::vector<JobRow> jobs;

  // None when a row does not have JobRow::kFields fields.
  static std::optional<JobListReply> Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const JobListReply&) const = default;
};

// A request that names one job (JOBSH): its journal id, decimal; 0 when it is not a number.
struct JobRequest {
  int64_t job = 0;

  static JobRequest Parse(std::string_view body);
  std::string Build() const { return std::to_string(job); }
  bool operator==(const JobRequest&) const = default;
};

// JOBEX: a job's recipients and their states written to a file for the user, as CSV (UTF-8) or
// as an xlsx workbook. Request: the journal id, the file's path (UTF-8, as the UI program names
// it), the format ("csv" when the field is missing or empty) and "1" to replace a regular file
// already there ("0" or missing: a new file only). Reply: the number of recipients written, or
// "Exception:[<reason>]".
struct JobExportRequest {
  int64_t job = 0;
  std::string path;            // UTF-8
  std::string format = "csv";  // "csv" or "xlsx"
  bool replace = false;

  // Every field from the body as sent (UTF-8): the path must reach the file system as the UI
  // program named it, which the CP949 text of the body cannot always hold.
  static JobExportRequest Parse(std::string_view sent);
  // The 4th field only when set: an older engine reads the first three.
  std::string Build() const;
  bool operator==(const JobExportRequest&) const = default;
};

// JOBRS: sends the rest of a job again, as a new job: its recipients not sent, and those in doubt
// when asked. Request: the journal id and "1" to include those in doubt ("0" or missing: not).
struct JobResendRequest {
  int64_t job = 0;
  bool include_in_doubt = false;

  static JobResendRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const JobResendRequest&) const = default;
};

// The JOBRS reply: the new job's journal id (0 when none was recorded), then the user's text of
// the send as DSEND gives it (CP949). A refused resend answers "Exception:[<reason>]" instead.
struct JobResendReply {
  int64_t job = 0;
  std::string text;

  // None unless the body has a journal id field and a text field.
  static std::optional<JobResendReply> Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const JobResendReply&) const = default;
};

// JOBFG: removes the jobs started before a time (Unix seconds, decimal) with their recipients;
// a running job stays. Reply: the number of jobs removed.
struct JobForgetRequest {
  int64_t before = 0;

  static JobForgetRequest Parse(std::string_view body);
  std::string Build() const { return std::to_string(before); }
  bool operator==(const JobForgetRequest&) const = default;
};

// The JOBFG reply: how many jobs went, then, only when some stayed for it, how many old enough
// jobs were kept because their sent report has not reached the web service yet ("3" or
// "3<QX>1"). A refusal answers "Exception:[<reason>]" instead.
struct JobForgetReply {
  int64_t forgotten = 0;
  int64_t kept_for_report = 0;

  // None unless the body starts with a number.
  static std::optional<JobForgetReply> Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const JobForgetReply&) const = default;
};

}  // namespace parley::protocol

#endif  // PARLEY_PROTOCOL_STATUS_MESSAGES_H_
