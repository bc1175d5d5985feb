// qx messages: the user's saved messages (MYMSG) and the shared catalogue of ready-made texts
// (EMOTN), shown as tables; and saving a message to the user's box.
#ifndef PARLEY_QX_MESSAGES_COMMAND_H_
#define PARLEY_QX_MESSAGES_COMMAND_H_

#include <iosfwd>
#include <string>

#include "client/messages.h"
#include "qx/link_session.h"

namespace parley {

struct MessagesOptions {
  std::string action;        // "saved", "save" or "catalogue", set by the sub-command parsed
  std::string type = "SMS";  // saved messages: SMS or LMS; catalogue: the category
  std::string group;         // catalogue group; empty: the first page with the group list
  int page = 1;
  int size = 10;
  std::string text;  // save
  std::string subject;
  Language language = Language::kEnglish;
};

// The MYMSG or EMOTN request of the action: {code, body}.
std::pair<std::string, std::string> MessagesRequest(const MessagesOptions& options);

// Asks and prints the tables. Returns kExitOk, kExitRefused for an empty or unexpected reply,
// kExitUsage, kExitNoEngine.
int RunMessagesCommand(const MessagesOptions& options, const LinkTarget& target, std::ostream& out,
                       std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_MESSAGES_COMMAND_H_
