#include "qx/plan_words.h"

#include <algorithm>
#include <ostream>
#include <string_view>

namespace parley {
std::string WhereWords(Language language, const Verdict& v) {
  const std::string field = v.field;
  if (field == kFieldTo && v.position > 0) {
    // A value of several lines is quoted on one, and its items named by line too.
    std::string quoted = v.source;
    std::replace_if(
        quoted.begin(), quoted.end(), [](char c) { return c == '\n' || c == '\t'; }, ' ');
    std::erase(quoted, '\r');
    if (v.source.find('\n') != std::string::npos) {
      return Text(language, Msg::kWhereToLineItem,
                  {quoted, std::to_string(v.line), std::to_string(v.position)});
    }
    return Text(language, Msg::kWhereToItem, {quoted, std::to_string(v.position)});
  }
  if (field == kFieldToFile && v.line > 0) {
    return Text(language, Msg::kWhereFileLine, {v.source, std::to_string(v.line)});
  }
  if (field == kFieldToColumn && v.line > 0) {
    return Text(language, Msg::kWhereFileRow, {v.source, std::to_string(v.line)});
  }
  return {};
}

std::string VerdictLine(Language language, const Verdict& verdict) {
  const std::string where = WhereWords(language, verdict);
  const std::string words = Word(language, verdict);
  return where.empty() ? words : Text(language, Msg::kNumberSource, {where, words});
}

bool PrintPlan(const SendPlan& plan, const SendOptions& given, Language language, std::ostream& out,
               std::ostream& err) {
  if (!plan.ok()) {
    for (const Verdict& problem : plan.problems) err << VerdictLine(language, problem) << "\n";
    return false;
  }
  const std::vector<std::string>& to = plan.checked.to;
  if (!to.empty()) {
    out << Text(language, Msg::kRecipientsCount, {std::to_string(to.size())}) << ": ";
    constexpr size_t kShown = 10;
    for (size_t i = 0; i < to.size() && i < kShown; ++i) out << (i > 0 ? ", " : "") << to[i];
    out << (to.size() > kShown ? ", ...\n" : "\n");
  }
  if (plan.counts.duplicates > 0) {
    out << Text(language, Msg::kDuplicatesRemoved, {std::to_string(plan.counts.duplicates)})
        << "\n";
  }
  out << Text(language, Msg::kTextSummary,
              {KindName(plan.text.kind), std::to_string(plan.text.bytes),
               std::to_string(plan.text.limit)})
      << "\n";
  out << (plan.checked.reserve.empty() ? Text(language, Msg::kReserveNow)
                                       : Text(language, Msg::kReserveAt, {given.reserve}))
      << "\n";
  return true;
}

}  // namespace parley
