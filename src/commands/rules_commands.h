// The sending rules' extension commands: the opt-out list (OPTLS, OPTAD, OPTRM), the registered
// callback numbers (CBKLS, CBKAD, CBKRM), the rules' settings (SETGT, SETPT) and the opt-out
// check of a planned direct or group send (OPTCK). Each reads its request and builds its reply
// through protocol/rules_messages.h; the lists and settings live in the address book
// (db/rules_book.h). A book that cannot be read or written answers "Exception:[<reason>]".
#ifndef PARLEY_COMMANDS_RULES_COMMANDS_H_
#define PARLEY_COMMANDS_RULES_COMMANDS_H_

#include <string>

namespace parley {

class Engine;

// OPTLS: every number on the opt-out list, with when it was added and its note.
std::string OnOptOutList(Engine& engine, const std::string& body);
// OPTAD: adds the mobile numbers of the request (each normalised by the one number rule) with
// the note; answers how many were added, how many were there, and the items refused with why.
std::string OnOptOutAdd(Engine& engine, const std::string& body);
// OPTRM: removes the numbers; answers how many were removed and how many were not on the list.
std::string OnOptOutRemove(Engine& engine, const std::string& body);

// CBKLS, CBKAD, CBKRM: as the opt-out commands, for the registered callbacks (any callback
// number; a label instead of a note; no time).
std::string OnCallbackList(Engine& engine, const std::string& body);
std::string OnCallbackAdd(Engine& engine, const std::string& body);
std::string OnCallbackRemove(Engine& engine, const std::string& body);

// SETGT: the settings. SETPT: sets one ("name<QX>value"; an empty value clears it) and answers
// the settings; refused for an unknown name or a value the setting cannot hold (optout_number
// an 080 number, optout_applies "ad" or "all", own_number a mobile number; numbers are stored
// as their digits).
std::string OnSettingsGet(Engine& engine, const std::string& body);
std::string OnSettingsPut(Engine& engine, const std::string& body);

// OPTCK: the recipients of a planned direct or group send and those the opt-out list would leave
// out of it.
std::string OnOptOutCheck(Engine& engine, const std::string& body);

}  // namespace parley

#endif  // PARLEY_COMMANDS_RULES_COMMANDS_H_
