// The engine's answer to STATE (a UI-link extension an older UI program never sends): who is
// logged in, where the engine keeps its files, and how its current or last gateway job stands.
// The reply body is 13 fields joined by "<QX>", CP949 as the engine writes.
#ifndef PARLEY_CLIENT_ENGINE_STATE_H_
#define PARLEY_CLIENT_ENGINE_STATE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/messages.h"
#include "client/verdict.h"

namespace parley {

inline constexpr size_t kEngineStateFields = 14;  // 13 from an engine before the journal

// One STATE reply, texts in UTF-8.
struct EngineState {
  std::string version;    // e.g. "parley 0.9.0"
  std::string home;       // the engine's module directory
  std::string book_path;  // the address book the engine opens
  bool logged_in = false;
  std::string login_id;  // empty unless logged_in
  int64_t job = 0;       // gateway jobs started since the engine started; 0: none yet
  std::string command;   // DSEND, ASEND or ESEND
  std::string kind;      // SMS, LMS or MMS
  // running, done, refused, no-answer, closed, nack, cancelled or failed.
  std::string outcome;
  int64_t total = 0;
  int64_t sent = 0;          // handed to the socket
  int64_t acknowledged = 0;  // confirmed by the gateway
  std::string gateway_job_id;
  std::string journal_notice;  // what the user must know of the send journal; empty: nothing
};

// Parses a STATE reply body (CP949). False when it has not 14 fields (or 13, without the notice),
// when field 4 is neither "0" nor "1", or when a count is not a whole number (an empty count is 0).
bool ParseEngineState(std::string_view body, EngineState* state);

// A job that ended at the gateway in the user's words ("the gateway refused the job", "... closed
// the connection after 120 messages", ...); empty for a job that is running, done, cancelled or
// failed before the gateway.
// What the journal's notice (STATE) tells the user, as verdicts: kJournalUnopened (file, reason:
// nothing can be sent), kJournalMovedAside (file, where it went), kJournalInterrupted (jobs);
// a notice of another shape is kept whole (kEngineRefusedOther).
std::vector<Verdict> JournalNotices(std::string_view notice);

// How the gateway ended the job, when it did (refused, no answer, closed, a negative
// acknowledgement); nullopt for a job that ended otherwise.
std::optional<Verdict> GatewayFailure(const EngineState& state);

std::string GatewayFailureText(const EngineState& state, Language language);

}  // namespace parley

#endif  // PARLEY_CLIENT_ENGINE_STATE_H_
