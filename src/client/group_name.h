// Which address-book group names a send can carry. A group send names its groups in one list
// separated by commas, so a name holding a comma would reach other groups, and one beginning or
// ending with a space would reach the group without it.
#ifndef PARLEY_CLIENT_GROUP_NAME_H_
#define PARLEY_CLIENT_GROUP_NAME_H_

#include <string_view>

#include "client/messages.h"

namespace parley {

enum class GroupNameProblem { kNone, kEmpty, kComma, kEdgeSpace };

GroupNameProblem CheckGroupName(std::string_view name);

// The catalogue message of a problem, taking the name as its argument (kNone: kGroupNameEmpty).
Msg GroupNameMsg(GroupNameProblem problem);

}  // namespace parley

#endif  // PARLEY_CLIENT_GROUP_NAME_H_
