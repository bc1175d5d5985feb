// Storing the session's recent-numbers list in the address book: per user, after every send
// command, and loading it again at each accepted login.
#ifndef PARLEY_COMMANDS_RECENT_NUMBERS_H_
#define PARLEY_COMMANDS_RECENT_NUMBERS_H_

#include "engine/recent_number_list.h"

namespace parley {

class Engine;

// Stores the session's list for the logged-in user in the address book. Runs after every send
// command; before any login there is no user and nothing is stored.
void SaveRecentList(Engine& engine);

// Adds the numbers stored for the logged-in user to the session's list (on top of what it
// holds), the number stored last ending in front. A database error is logged and adds nothing.
void LoadRecentList(Engine& engine);

}  // namespace parley

#endif  // PARLEY_COMMANDS_RECENT_NUMBERS_H_
