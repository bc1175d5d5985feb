#include "client/phone_number.h"

#include <unordered_set>

namespace parley {
namespace {

constexpr std::string_view kSeparators = ",;\t\r\n";
constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

Msg NumberProblemMsg(NumberProblem problem) {
  switch (problem) {
    case NumberProblem::kNone:
    case NumberProblem::kEmpty:
      return Msg::kNumberEmpty;
    case NumberProblem::kNotDigits:
      return Msg::kNumberNotDigits;
    case NumberProblem::kNotMobile:
      return Msg::kNumberNotMobile;
    case NumberProblem::kNotCallback:
      return Msg::kNumberNotCallback;
  }
  return Msg::kNumberNotDigits;
}

NumberResult NormalizeNumber(std::string_view text, NumberUse use) {
  CheckedNumber checked = CheckKoreanNumber(text, use);
  NumberResult result;
  result.number = std::move(checked.digits);
  result.reason = NumberProblemMsg(checked.problem);
  return result;
}

std::vector<ListItem> SplitNumberList(std::string_view text) {
  std::vector<ListItem> items;
  int line = 1;
  int item = 1;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && kSeparators.find(text[i]) == std::string_view::npos) continue;
    const std::string_view piece = Trim(text.substr(start, i - start));
    if (!piece.empty()) items.push_back({std::string(piece), line, item});
    ++item;
    if (i < text.size() && text[i] == '\n') {
      ++line;
      item = 1;
    } else if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      ++line;
      item = 1;
    }
    start = i + 1;
  }
  return items;
}

RecipientList CheckRecipients(const std::vector<ListItem>& items, bool keep_duplicates) {
  RecipientList list;
  std::unordered_set<std::string> seen;
  for (const ListItem& item : items) {
    NumberResult result = NormalizeNumber(item.text, NumberUse::kRecipient);
    if (!result.ok()) {
      list.refused.push_back(
          {item, Verdict{result.reason, {item.text}, kFieldTo, item.text, item.line, item.item}});
      continue;
    }
    if (!keep_duplicates && !seen.insert(result.number).second) {
      ++list.duplicates_removed;
      continue;
    }
    list.numbers.push_back(std::move(result.number));
  }
  return list;
}

}  // namespace parley
