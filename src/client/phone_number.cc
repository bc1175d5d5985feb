#include "client/phone_number.h"

#include <unordered_set>

namespace parley {
namespace {

constexpr std::string_view kSeparators = ",;\t\r\n";
constexpr std::string_view kBlanks = " \t\r\n";
constexpr std::string_view kMobilePrefixes[] = {"011", "016", "017", "018", "019"};
constexpr std::string_view kAreaCodes[] = {"031", "032", "033", "041", "042", "043", "044", "051",
                                           "052", "053", "054", "055", "061", "062", "063", "064"};

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Digits after a prefix: true when the rest of n has one of the given lengths.
bool RestIs(std::string_view n, std::string_view prefix, size_t a, size_t b) {
  if (!n.starts_with(prefix)) return false;
  const size_t rest = n.size() - prefix.size();
  return rest == a || rest == b;
}

bool IsMobile(std::string_view n) {
  if (RestIs(n, "010", 8, 8)) return true;
  for (std::string_view p : kMobilePrefixes) {
    if (RestIs(n, p, 7, 8)) return true;
  }
  return false;
}

bool IsCallback(std::string_view n) {
  if (IsMobile(n) || RestIs(n, "02", 7, 8) || RestIs(n, "070", 8, 8) || RestIs(n, "080", 7, 8)) {
    return true;
  }
  for (std::string_view p : kAreaCodes) {
    if (RestIs(n, p, 7, 8)) return true;
  }
  return n.size() == 8 && (n.starts_with("15") || n.starts_with("16") || n.starts_with("18"));
}

bool Valid(std::string_view n, NumberUse use) {
  return use == NumberUse::kRecipient ? IsMobile(n) : IsCallback(n);
}

}  // namespace

NumberResult NormalizeNumber(std::string_view text, NumberUse use) {
  NumberResult result;
  std::string_view t = Trim(text);
  if (t.empty()) return result;
  result.reason = Msg::kNumberNotDigits;
  // A number a spreadsheet stored as a float.
  if (t.ends_with(".0") && t.find_first_not_of("0123456789") == t.size() - 2) {
    t.remove_suffix(2);
  }
  bool plus = false;
  if (t.starts_with("+")) {
    plus = true;
    t.remove_prefix(1);
  }
  std::string digits;
  for (char c : t) {
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (c != '-' && c != '.' && c != ' ' && c != '(' && c != ')') {
      return result;
    }
  }
  if (digits.empty()) return result;
  if (plus && !digits.starts_with("82")) return result;  // another country
  // No Korean number starts with 8 once its 0 is there: "82" is the country code.
  if (digits.starts_with("82")) {
    digits.erase(0, 2);
    if (!digits.starts_with("0")) digits.insert(0, "0");
  } else if (digits[0] != '0' && (digits.size() == 9 || digits.size() == 10) &&
             Valid("0" + digits, use)) {
    digits.insert(0, "0");  // the 0 a spreadsheet dropped
  }
  if (!Valid(digits, use)) {
    result.reason = use == NumberUse::kRecipient ? Msg::kNumberNotMobile : Msg::kNumberNotCallback;
    return result;
  }
  result.number = std::move(digits);
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

RecipientList CheckRecipients(const std::vector<ListItem>& items, bool keep_duplicates,
                              Language language) {
  RecipientList list;
  std::unordered_set<std::string> seen;
  for (const ListItem& item : items) {
    NumberResult result = NormalizeNumber(item.text, NumberUse::kRecipient);
    if (!result.ok()) {
      list.refused.push_back({item, Text(language, result.reason, {item.text})});
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
