// Looking up one of the user's saved messages (MYMSG) by its number, for a send to take as its
// text.
#ifndef PARLEY_QX_SAVED_MESSAGE_H_
#define PARLEY_QX_SAVED_MESSAGE_H_

#include <iosfwd>
#include <string>

#include "client/messages.h"
#include "qx/link_session.h"

namespace parley {

// A saved message as a send takes it: its subject and text in UTF-8, line breaks kept.
struct SavedMessage {
  std::string subject;
  std::string text;
};

// Finds saved message `number` (the "No" of qx messages saved) among the user's SMS and LMS
// messages. False with the reason on err when it is not there or the engine cannot tell.
bool FindSavedMessage(const LinkTarget& target, int number, SavedMessage* message,
                      Language language, std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_SAVED_MESSAGE_H_
