#include "qx/end_command.h"

#include <optional>
#include <ostream>

#include "protocol/query_requests.h"
#include "protocol/status_messages.h"
#include "qx/exit_codes.h"
#include "qx/reply_text.h"

namespace parley {

int RunEndCommand(int value, Language language, const LinkTarget& target, std::ostream& out,
                  std::ostream& err) {
  std::string reply;
  // Quitting during a send stops the job at its next acknowledgement: say so first.
  if (value != 0 && AskOnce(target, "STATE", "", &reply, err)) {
    const std::optional<protocol::StateReply> state = protocol::StateReply::Parse(reply);
    if (state && state->state == "running") {
      out << Text(language, Msg::kQuitStopsSend,
                  {std::to_string(state->sent), std::to_string(state->total)})
          << "\n";
    }
  }
  if (!AskOnce(target, "ENDQX", protocol::EndRequest{value}.Build(), &reply, err))
    return kExitNoEngine;
  const std::string expected = value == 0 ? "" : "EXIT";
  if (reply != expected) {
    err << "qx: unexpected ENDQX reply \"" << ScreenText(reply) << "\"\n";
    return kExitRefused;
  }
  out << Text(language, value == 0 ? Msg::kLoggedOut : Msg::kEngineEnded) << "\n";
  return kExitOk;
}

}  // namespace parley
