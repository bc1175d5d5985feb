#include "client/group_check.h"

#include "client/group_name.h"

#include <ostream>

#include "client/reply_fields.h"
#include "protocol/replies.h"
#include "text/mbcs.h"

namespace parley {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return out;
}

const EngineGroup* Find(const std::vector<EngineGroup>& groups, const std::string& name) {
  const EngineGroup* other_case = nullptr;
  int other_cases = 0;
  for (const EngineGroup& group : groups) {
    if (group.name == name) return &group;
    if (Lower(group.name) == Lower(name)) {
      other_case = &group;
      ++other_cases;
    }
  }
  return other_cases == 1 ? other_case : nullptr;
}

}  // namespace

std::vector<EngineGroup> ParseGroupList(std::string_view reply) {
  std::vector<EngineGroup> groups;
  for (const protocol::AddressGroup& g : protocol::ParseGroupList(reply)) {
    groups.push_back({ScreenText(g.name), Atoi(g.count)});
  }
  return groups;
}

bool CheckGroups(const std::vector<std::string>& names, const std::vector<EngineGroup>& groups,
                 int64_t* members, std::vector<Verdict>* problems,
                 std::vector<EngineGroup>* chosen) {
  bool ok = true;
  std::string known;
  for (const EngineGroup& group : groups) known += (known.empty() ? "" : ", ") + group.name;
  *members = 0;
  for (const std::string& name : names) {
    const GroupNameProblem problem = CheckGroupName(name);
    if (problem == GroupNameProblem::kComma || problem == GroupNameProblem::kEdgeSpace) {
      problems->push_back({GroupNameMsg(problem), {name}, kFieldGroup, name});
      ok = false;
      continue;
    }
    const EngineGroup* group = Find(groups, name);
    if (group == nullptr) {
      problems->push_back({Msg::kGroupUnknown, {name, known}, kFieldGroup, name});
      ok = false;
    } else if (group->members <= 0) {
      problems->push_back({Msg::kGroupEmpty, {name}, kFieldGroup, name});
      ok = false;
    } else {
      if (chosen != nullptr) chosen->push_back(*group);
      *members += group->members;
    }
  }
  return ok;
}

}  // namespace parley
