// qx status: what the engine says about itself (STATE): the login, the engine's version and
// home, its address book and its current or last gateway job. Also the STATE question that other
// sub-commands ask first (results and stats need a login; book uses the engine's file).
#ifndef PARLEY_QX_STATUS_COMMAND_H_
#define PARLEY_QX_STATUS_COMMAND_H_

#include <iosfwd>
#include <string>
#include <string_view>

#include "client/engine_state.h"
#include "client/messages.h"
#include "qx/link_session.h"

namespace parley {

// Asks STATE on an open session. False when the connection fails (reported on err) or the reply
// is no STATE reply (an engine without the extension; *answered then stays true).
bool AskEngineState(LinkSession& session, EngineState* state, bool* answered = nullptr);

// Writes the status lines: login, balance (where it is shown), engine, address book, last job.
void PrintEngineState(const EngineState& state, Language language, std::ostream& out);

// Returns kExitOk, kExitRefused for a reply that is no STATE reply, kExitNoEngine.
int RunStatusCommand(Language language, const LinkTarget& target, std::ostream& out,
                     std::ostream& err);

// For commands that need a login: asks STATE on the session and, when the engine says no login
// is active, writes "qx <who>: not logged in" to err and returns false. An engine that does not
// answer STATE is given the benefit of the doubt (true); a failed connection returns false.
bool RequireLogin(LinkSession& session, std::string_view who, Language language, std::ostream& err,
                  bool* connection_failed);

// qx book's file when --file is not given: the engine's own address book when an engine answers
// STATE at target (said on err), else *file as it is (./QXBOOK.mdb).
void ChooseBookFile(const LinkTarget& target, Language language, std::string* file,
                    std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_STATUS_COMMAND_H_
