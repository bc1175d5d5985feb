// The groups of a group send, checked against the engine's own address book (ADDRB 2) before the
// engine is asked to send: each must exist and have members.
#ifndef PARLEY_CLIENT_GROUP_CHECK_H_
#define PARLEY_CLIENT_GROUP_CHECK_H_

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "client/messages.h"

namespace parley {

struct EngineGroup {
  std::string name;  // UTF-8
  int64_t members = 0;
};

// The groups of an ADDRB 2 reply (CP949): "2<QX>" then "<GROUP>name::count::level::key" per
// group, then "<QX>".
std::vector<EngineGroup> ParseGroupList(std::string_view reply);

// Finds every name among groups as the engine does (the exact name, else the one group with that
// name in another letter case), prints each with its member count to out, and adds the members up
// in *members. False, with a line on err for every unknown group (listing the groups there are)
// and every empty one.
bool CheckGroups(const std::vector<std::string>& names, const std::vector<EngineGroup>& groups,
                 int64_t* members, Language language, std::ostream& out, std::ostream& err);

}  // namespace parley

#endif  // PARLEY_CLIENT_GROUP_CHECK_H_
