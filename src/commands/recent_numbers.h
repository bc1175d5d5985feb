// The recent-numbers list: each user's five most recent recipient numbers.
#ifndef PARLEY_COMMANDS_RECENT_NUMBERS_H_
#define PARLEY_COMMANDS_RECENT_NUMBERS_H_

namespace parley {

class CFlexLink;

// Stores the recent-numbers list of the logged-in user in the address book. Runs after every
// send command. Until the address book exists it stores nothing.
void SaveRecentList(CFlexLink& link);

}  // namespace parley

#endif  // PARLEY_COMMANDS_RECENT_NUMBERS_H_
