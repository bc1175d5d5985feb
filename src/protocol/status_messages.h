// The extensions of the UI link: STATE (the engine's state and its current or last gateway job),
// CANCL (stop the running job at its next acknowledgement boundary), and JOBLS and JOBEX (the
// jobs of the send journal, and one job's recipients with their states). An older UI program
// never sends them; an older engine answers both with an empty "INIT" reply. Requests carry no
// fields (a body is ignored); replies are fields joined by "<QX>", CP949 on the wire.
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

// The STATE reply: 13 fields in this order. Numbers are decimal; before the first job
// (job_number 0) the job's texts are empty and its counts 0.
struct StateReply {
  static constexpr size_t kFields = 13;
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

  // None unless the body has exactly kFields fields; a number that does not read whole as a
  // decimal reads as 0.
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

// One job as JOBLS lists it: kFields fields joined by "<QX>"; the title as a list cell
// (EncodeCellText), the ending as the status reply names it ("running" for the job that runs,
// "interrupted" for one a stopped engine left).
struct JobRow {
  static constexpr size_t kFields = 12;
  int64_t id = 0;
  int64_t started = 0;  // Unix seconds
  std::string command;
  std::string kind;
  std::string title;
  int64_t total = 0;
  int64_t acknowledged = 0;
  int64_t in_doubt = 0;
  int64_t not_sent = 0;
  std::string ending;
  std::string report;     // "none" (no sent report made), "posted" or "pending"
  int64_t resend_of = 0;  // the job this one sent the rest of; 0 for none

  bool operator==(const JobRow&) const = default;
};

// The JOBLS reply: the rows, newest first, joined by "<Q>"; empty when there are none.
struct JobListReply {
  std::vector<JobRow> jobs;

  // None when a row does not have JobRow::kFields fields.
  static std::optional<JobListReply> Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const JobListReply&) const = default;
};

// JOBEX: a job's recipients and their states written as a CSV file (UTF-8) for the user.
// Request: the journal id and the file's path. Reply: the number of recipients written, or
// "Exception:[<reason>]".
struct JobExportRequest {
  int64_t job = 0;
  std::string path;

  static JobExportRequest Parse(std::string_view body);
  std::string Build() const;
  bool operator==(const JobExportRequest&) const = default;
};

}  // namespace parley::protocol

#endif  // PARLEY_PROTOCOL_STATUS_MESSAGES_H_
