// The groups of a group send, checked against the engine's own address book (ADDRB 2) before the
// engine is asked to send: each must exist and have members.
#ifndef PARLEY_CLIENT_GROUP_CHECK_H_
#define PARLEY_CLIENT_GROUP_CHECK_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/messages.h"
#include "client/verdict.h"

namespace parley {

struct EngineGroup {
  std::string name;  // UTF-8
  int64_t members = 0;
};

// The groups of an ADDRB 2 reply (CP949): "2<QX>" then "<GROUP>name::count::level::key" per
// group, then "<QX>".
std::vector<EngineGroup> ParseGroupList(std::string_view reply);

// Finds every name among groups as the engine does (the exact name, else the one group with that
// name in another letter case), adds the members up in *members and, when chosen is given, lists
// each group found there. False, with a verdict for every name a send cannot carry, every
// unknown group (listing the groups there are) and every empty one.
bool CheckGroups(const std::vector<std::string>& names, const std::vector<EngineGroup>& groups,
                 int64_t* members, std::vector<Verdict>* problems,
                 std::vector<EngineGroup>* chosen = nullptr);

}  // namespace parley

#endif  // PARLEY_CLIENT_GROUP_CHECK_H_
