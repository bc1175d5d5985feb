// qx login: log in to the web service through the engine (LOGIN), optionally asking the engine to
// remember the id; or, with --saved, ask which id it remembers.
#ifndef PARLEY_QX_LOGIN_COMMAND_H_
#define PARLEY_QX_LOGIN_COMMAND_H_

#include <iosfwd>
#include <string>

#include "client/messages.h"
#include "qx/link_session.h"

namespace parley {

struct LoginOptions {
  std::string id;
  std::string password;  // empty: taken from $QX_PASSWORD
  bool save = false;     // remember the id (LOGIN's third field "SAVE")
  bool saved = false;    // only ask for the remembered id
  bool prompt = false;   // ask for a missing password at the terminal, without echo
  Language language = Language::kEnglish;
};

// The LOGIN body: id, password and "SAVE" joined by "<QX>".
std::string LoginBody(const LoginOptions& options);

// Runs the login or the saved-id query, printing the outcome and the account figures to out.
// Returns kExitOk, kExitRefused for a refused login, kExitUsage for an id and password too short
// to be told from the saved-id query, kExitNoEngine.
int RunLoginCommand(LoginOptions options, const LinkTarget& target, std::ostream& out,
                    std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_LOGIN_COMMAND_H_
