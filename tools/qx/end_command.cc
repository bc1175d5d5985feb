#include "qx/end_command.h"

#include <ostream>

#include "protocol/query_requests.h"
#include "qx/exit_codes.h"
#include "qx/reply_text.h"

namespace parley {

int RunEndCommand(int value, Language language, const LinkTarget& target, std::ostream& out,
                  std::ostream& err) {
  std::string reply;
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
