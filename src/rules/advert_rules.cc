#include "rules/advert_rules.h"

#include <array>

#include "numbers/korean_number.h"
#include "text/cp949.h"

namespace parley {
namespace {

constexpr int64_t kKoreanOffsetSeconds = 9 * 3600;
constexpr int kMinutesPerDay = 24 * 60;
constexpr int kNightFrom = 21 * 60;  // 21:00
constexpr int kNightUntil = 8 * 60;  // 08:00, the first minute allowed again

// The footer's opening words, the longer first.
constexpr std::array<const char*, 2> kFooterWords = {"무료수신거부", "무료거부"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number written after an opt-out word at `at` in text: its digits (hyphens dropped), after
// spaces, a colon or an opening parenthesis; empty when no digit follows.
std::string FooterNumber(std::string_view text, size_t at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == ':' || text[at] == '(')) ++at;
  std::string digits;
  for (; at < text.size() && (IsDigit(text[at]) || text[at] == '-'); ++at) {
    if (IsDigit(text[at])) digits += text[at];
  }
  return digits;
}

bool IsFreeNumber(const std::string& digits) {
  return digits.starts_with("080") && CheckKoreanNumber(digits, NumberUse::kCallback).ok();
}

AdProblem FooterProblem(std::string_view optout_digits, std::string_view text) {
  bool any = false;
  bool free_number = false;
  for (const char* word : kFooterWords) {
    const std::string ansi = Utf8ToAnsi(word);
    for (size_t at = text.find(ansi); at != std::string_view::npos; at = text.find(ansi, at + 1)) {
      const std::string digits = FooterNumber(text, at + ansi.size());
      if (digits.empty()) continue;
      any = true;
      if (!IsFreeNumber(digits)) continue;
      free_number = true;
      if (optout_digits.empty() || digits == optout_digits) return AdProblem::kNone;
    }
  }
  if (!any) return AdProblem::kNoFooter;
  return free_number ? AdProblem::kFooterNotSetting : AdProblem::kFooterNotFree;
}

}  // namespace

std::string AdMarker() { return Utf8ToAnsi("(광고)"); }

AdProblem CheckAdText(std::string_view business_name, std::string_view optout_digits,
                      std::string_view text) {
  if (business_name.empty()) return AdProblem::kNoBusinessName;
  const std::string marker = AdMarker();
  if (!text.starts_with(marker)) return AdProblem::kNoMarker;
  std::string_view rest = text.substr(marker.size());
  if (rest.starts_with(" ")) rest.remove_prefix(1);
  if (!rest.starts_with(business_name)) return AdProblem::kNoNameAfterMarker;
  return FooterProblem(optout_digits, text);
}

int KoreanMinuteOfDay(int64_t unix_seconds) {
  int64_t seconds = (unix_seconds + kKoreanOffsetSeconds) % (int64_t{kMinutesPerDay} * 60);
  if (seconds < 0) seconds += int64_t{kMinutesPerDay} * 60;
  return static_cast<int>(seconds / 60);
}

bool IsNightMinute(int minute_of_day) {
  return minute_of_day >= kNightFrom || minute_of_day < kNightUntil;
}

NightAnswer CheckNight(int64_t now_unix, std::string_view reserve, bool night_consent) {
  NightAnswer answer;
  answer.reserved = !reserve.empty();
  answer.minute = KoreanMinuteOfDay(now_unix);
  if (answer.reserved) {
    std::string digits;
    for (char c : reserve) {
      if (IsDigit(c)) {
        digits += c;
      } else if (c != '-' && c != ':' && c != ' ' && c != 'T') {
        digits.clear();
        break;
      }
    }
    const int hour = digits.size() == 12 ? std::stoi(digits.substr(8, 2)) : -1;
    const int min = digits.size() == 12 ? std::stoi(digits.substr(10, 2)) : -1;
    if (hour < 0 || hour > 23 || min < 0 || min > 59) {
      answer.unreadable = !night_consent;
      return answer;
    }
    answer.minute = hour * 60 + min;
  }
  answer.night = !night_consent && IsNightMinute(answer.minute);
  return answer;
}

}  // namespace parley
