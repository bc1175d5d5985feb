// qx logout and qx quit: ENDQX 0 ends the login at the web service, ENDQX 1 ends the engine.
#ifndef PARLEY_QX_END_COMMAND_H_
#define PARLEY_QX_END_COMMAND_H_

#include <iosfwd>

#include "client/messages.h"
#include "qx/link_session.h"

namespace parley {

// Sends ENDQX with value (0: logout, else quit) and checks the reply: empty after a logout,
// "EXIT" before the engine ends. Returns kExitOk, kExitRefused for another reply, kExitNoEngine.
int RunEndCommand(int value, Language language, const LinkTarget& target, std::ostream& out,
                  std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_END_COMMAND_H_
