// qx messages: the user's saved messages (MYMSG) and the shared catalogue of ready-made texts
// (EMOTN), shown as tables; and saving a message to the user's box.
#ifndef PARLEY_QX_MESSAGES_COMMAND_H_
#define PARLEY_QX_MESSAGES_COMMAND_H_

#include <iosfwd>
#include <string>

#include "client/content_requests.h"
#include "client/messages.h"
#include "qx/link_session.h"

namespace parley {

// Asks and prints the tables. Returns kExitOk, kExitRefused for an empty or unexpected reply,
// kExitUsage, kExitNoEngine.
int RunMessagesCommand(const MessagesOptions& options, const LinkTarget& target, std::ostream& out,
                       std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_MESSAGES_COMMAND_H_
