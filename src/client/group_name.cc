#include "client/group_name.h"

namespace parley {

GroupNameProblem CheckGroupName(std::string_view name) {
  if (name.empty()) return GroupNameProblem::kEmpty;
  if (name.find(',') != std::string_view::npos) return GroupNameProblem::kComma;
  constexpr std::string_view kBlanks = " \t\r\n";
  if (kBlanks.find(name.front()) != std::string_view::npos ||
      kBlanks.find(name.back()) != std::string_view::npos) {
    return GroupNameProblem::kEdgeSpace;
  }
  return GroupNameProblem::kNone;
}

Msg GroupNameMsg(GroupNameProblem problem) {
  switch (problem) {
    case GroupNameProblem::kComma:
      return Msg::kGroupNameComma;
    case GroupNameProblem::kEdgeSpace:
      return Msg::kGroupNameSpaces;
    case GroupNameProblem::kNone:
    case GroupNameProblem::kEmpty:
      break;
  }
  return Msg::kGroupNameEmpty;
}

}  // namespace parley
