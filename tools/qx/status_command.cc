#include "qx/status_command.h"

#include <ostream>
#include <sstream>
#include <string>

#include "qx/exit_codes.h"
#include "qx/reply_text.h"

namespace parley {

bool AskEngineState(LinkSession& session, EngineState* state, bool* answered) {
  if (answered != nullptr) *answered = false;
  std::string reply;
  if (!session.Ask("STATE", "", &reply)) return false;
  if (answered != nullptr) *answered = true;
  return ParseEngineState(reply, state);
}

void PrintEngineState(const EngineState& s, Language language, std::ostream& out) {
  out << (s.logged_in ? Text(language, Msg::kStatusLogin, {s.login_id})
                      : Text(language, Msg::kNotLoggedIn))
      << "\n";
  out << Text(language, Msg::kStatusBalance) << "\n";
  out << Text(language, Msg::kStatusEngine, {s.version, s.home}) << "\n";
  out << Text(language, Msg::kStatusBook, {s.book_path}) << "\n";
  if (!s.journal_notice.empty()) {
    out << Text(language, Msg::kStatusJournal, {s.journal_notice}) << "\n";
  }
  if (s.job == 0) {
    out << Text(language, Msg::kStatusNoJob) << "\n";
    return;
  }
  out << Text(language, Msg::kStatusJob,
              {std::to_string(s.job), s.command, s.kind, s.outcome, std::to_string(s.total),
               std::to_string(s.sent), std::to_string(s.acknowledged),
               s.gateway_job_id.empty() ? "-" : s.gateway_job_id})
      << "\n";
  if (const std::string failure = GatewayFailureText(s, language); !failure.empty()) {
    out << failure << "\n";
  }
}

int RunStatusCommand(Language language, const LinkTarget& target, std::ostream& out,
                     std::ostream& err) {
  LinkSession session(target, err);
  if (!session.Open()) return kExitNoEngine;
  EngineState state;
  bool answered = false;
  if (!AskEngineState(session, &state, &answered)) {
    if (!answered) return kExitNoEngine;
    err << "qx status: the engine does not answer STATE (an older engine?)\n";
    return kExitRefused;
  }
  PrintEngineState(state, language, out);
  return kExitOk;
}

bool RequireLogin(LinkSession& session, std::string_view who, Language language, std::ostream& err,
                  bool* connection_failed) {
  *connection_failed = false;
  EngineState state;
  bool answered = false;
  if (AskEngineState(session, &state, &answered)) {
    if (state.logged_in) return true;
    err << "qx " << who << ": " << Text(language, Msg::kNotLoggedIn) << "\n";
    return false;
  }
  *connection_failed = !answered;
  return answered;
}

void ChooseBookFile(const LinkTarget& target, Language language, std::string* file,
                    std::ostream& err) {
  constexpr int kStateWaitSeconds = 5;  // an engine answers STATE even while it sends
  LinkTarget quick = target;
  quick.timeout_seconds = kStateWaitSeconds;
  std::ostringstream ignored;  // no engine is no error here
  LinkSession session(quick, ignored);
  EngineState state;
  if (!session.Open() || !AskEngineState(session, &state) || state.book_path.empty()) return;
  *file = state.book_path;
  err << "qx book: " << Text(language, Msg::kBookFromEngine, {state.book_path}) << "\n";
}

}  // namespace parley
