#include "numbers/korean_number.h"

namespace parley {
namespace {

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

CheckedNumber CheckKoreanNumber(std::string_view text, NumberUse use) {
  CheckedNumber result;
  std::string_view t = Trim(text);
  if (t.empty()) return result;
  result.problem = NumberProblem::kNotDigits;
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
  digits.reserve(t.size());
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
    result.problem =
        use == NumberUse::kRecipient ? NumberProblem::kNotMobile : NumberProblem::kNotCallback;
    return result;
  }
  result.digits = std::move(digits);
  result.problem = NumberProblem::kNone;
  return result;
}

std::string_view ProblemToken(NumberProblem problem) {
  switch (problem) {
    case NumberProblem::kNone:
      return "";
    case NumberProblem::kEmpty:
      return "empty";
    case NumberProblem::kNotDigits:
      return "not-digits";
    case NumberProblem::kNotMobile:
      return "not-mobile";
    case NumberProblem::kNotCallback:
      return "not-callback";
  }
  return "not-digits";
}

NumberProblem ProblemFromToken(std::string_view token) {
  for (NumberProblem p : {NumberProblem::kNone, NumberProblem::kEmpty, NumberProblem::kNotDigits,
                          NumberProblem::kNotMobile, NumberProblem::kNotCallback}) {
    if (ProblemToken(p) == token) return p;
  }
  return NumberProblem::kNotDigits;
}

}  // namespace parley
