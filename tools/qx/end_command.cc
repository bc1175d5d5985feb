#include "qx/end_command.h"

#include <ostream>

#include <CLI/CLI.hpp>

#include "protocol/query_requests.h"
#include "qx/exit_codes.h"
#include "qx/reply_text.h"

namespace parley {

CLI::App* AddLogoutCommand(CLI::App& app) {
  CLI::App* logout = app.add_subcommand("logout", "Log out of the web service (ENDQX 0)");
  logout->footer(kExitCodesHelp);
  return logout;
}

CLI::App* AddQuitCommand(CLI::App& app) {
  CLI::App* quit = app.add_subcommand("quit", "End the engine (ENDQX 1)");
  quit->footer(kExitCodesHelp);
  return quit;
}

int RunEndCommand(int value, const LinkTarget& target, std::ostream& out, std::ostream& err) {
  std::string reply;
  if (!AskOnce(target, "ENDQX", protocol::EndRequest{value}.Build(), &reply, err))
    return kExitNoEngine;
  const std::string expected = value == 0 ? "" : "EXIT";
  if (reply != expected) {
    err << "qx: unexpected ENDQX reply \"" << ScreenText(reply) << "\"\n";
    return kExitRefused;
  }
  out << (value == 0 ? "logged out\n" : "engine ended\n");
  return kExitOk;
}

}  // namespace parley
