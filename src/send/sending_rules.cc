#include "send/sending_rules.h"

#include <array>
#include <cstdio>

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

// The footer's fault: empty when a footer names a free number (the set one when set).
std::string FooterFault(const SendingRules& rules, std::string_view text) {
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
      if (rules.optout_number.empty() || digits == rules.optout_number) return std::string();
    }
  }
  if (!any) {
    return Utf8ToAnsi(
        "광고 메시지에는 무료 수신거부 방법을 적어야 합니다 (예: 무료수신거부 080-123-4567)");
  }
  if (!free_number) return Utf8ToAnsi("무료수신거부 번호는 080으로 시작하는 무료 번호여야 합니다");
  return Utf8ToAnsi("무료수신거부 번호가 설정된 번호 ") + rules.optout_number +
         Utf8ToAnsi("와 다릅니다");
}

}  // namespace

std::string AdTextFault(const SendingRules& rules, std::string_view text) {
  if (rules.business_name.empty()) {
    return Utf8ToAnsi("광고 메시지를 보내려면 먼저 사업자명(업체명)을 설정해야 합니다");
  }
  const std::string marker = Utf8ToAnsi("(광고)");
  if (!text.starts_with(marker)) {
    return Utf8ToAnsi(
        "광고 메시지는 맨 앞에 \"(광고)\"를 띄어쓰기나 다른 괄호 없이 정확히 적어야 합니다");
  }
  std::string_view rest = text.substr(marker.size());
  if (rest.starts_with(" ")) rest.remove_prefix(1);
  if (!rest.starts_with(rules.business_name)) {
    return Utf8ToAnsi("\"(광고)\" 바로 뒤에 사업자명 \"") + rules.business_name +
           Utf8ToAnsi("\"을 적어야 합니다");
  }
  return FooterFault(rules, text);
}

int KoreanMinuteOfDay(int64_t unix_seconds) {
  int64_t seconds = (unix_seconds + kKoreanOffsetSeconds) % (int64_t{kMinutesPerDay} * 60);
  if (seconds < 0) seconds += int64_t{kMinutesPerDay} * 60;
  return static_cast<int>(seconds / 60);
}

bool IsNightMinute(int minute_of_day) {
  return minute_of_day >= kNightFrom || minute_of_day < kNightUntil;
}

std::string NightFault(int64_t now_unix, std::string_view reserve, bool night_consent) {
  if (night_consent) return std::string();
  std::string digits;
  for (char c : reserve) {
    if (IsDigit(c)) {
      digits += c;
    } else if (c != '-' && c != ':' && c != ' ' && c != 'T') {
      digits.clear();
      break;
    }
  }
  const bool reserved = !reserve.empty();
  int minute = KoreanMinuteOfDay(now_unix);
  if (reserved) {
    const int hour = digits.size() == 12 ? std::stoi(digits.substr(8, 2)) : -1;
    const int min = digits.size() == 12 ? std::stoi(digits.substr(10, 2)) : -1;
    if (hour < 0 || hour > 23 || min < 0 || min > 59) {
      return Utf8ToAnsi("예약 시각을 읽을 수 없어 광고 전송 시간을 확인할 수 없습니다");
    }
    minute = hour * 60 + min;
  }
  if (!IsNightMinute(minute)) return std::string();
  const std::string when = reserved ? Utf8ToAnsi("예약 시각이 ") : Utf8ToAnsi("지금이 ");
  char clock[6];
  std::snprintf(clock, sizeof clock, "%02d:%02d", minute / 60, minute % 60);
  return when + clock +
         Utf8ToAnsi(
             "입니다. 광고 메시지는 밤 9시부터 다음 날 아침 8시까지 보낼 수 "
             "없습니다 (수신자마다 따로 야간 수신 동의를 받은 경우만 가능)");
}

std::string CallbackFault(const SendingRules& rules, std::string_view callback) {
  if (rules.callbacks.empty() || rules.callbacks.contains(std::string(callback))) {
    return std::string();
  }
  return Utf8ToAnsi("회신번호 ") + std::string(callback) +
         Utf8ToAnsi("은(는) 등록된 발신번호가 아닙니다. 먼저 발신번호로 등록해야 합니다");
}

bool LeavesOut(const SendingRules& rules, const SendMarks& marks, std::string_view recipient) {
  if (!marks.advert && !rules.optout_applies_all) return false;
  return rules.opted_out.contains(std::string(recipient));
}

std::string OptedOutLine(int64_t count) {
  return Utf8ToAnsi("수신거부 ") + std::to_string(count) + Utf8ToAnsi("명 제외");
}

}  // namespace parley
