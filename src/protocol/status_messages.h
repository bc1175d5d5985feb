// The extensions of the UI link: STATE (the engine's state and its current or last gateway job)
// and CANCL (stop the running job at its next acknowledgement boundary). An older UI program
// never sends them; an older engine answers both with an empty "INIT" reply. Requests carry no
// fields (a body is ignored); replies are fields joined by "<QX>", CP949 on the wire.
#ifndef PARLEY_PROTOCOL_STATUS_MESSAGES_H_
#define PARLEY_PROTOCOL_STATUS_MESSAGES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

}  // namespace parley::protocol

#endif  // PARLEY_PROTOCOL_STATUS_MESSAGES_H_
