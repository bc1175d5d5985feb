#include "send/sending_rules.h"

#include <cstdio>

#include "rules/advert_rules.h"
#include "text/cp949.h"

namespace parley {
namespace {

std::string FooterWords(const SendingRules& rules, AdProblem problem) {
  switch (problem) {
    case AdProblem::kNoFooter:
      return Utf8ToAnsi(
          "광고 메시지에는 무료 수신거부 방법을 적어야 합니다 (예: 무료수신거부 080-123-4567)");
    case AdProblem::kFooterNotFree:
      return Utf8ToAnsi("무료수신거부 번호는 080으로 시작하는 무료 번호여야 합니다");
    case AdProblem::kFooterNotSetting:
      return Utf8ToAnsi("무료수신거부 번호가 설정된 번호 ") + rules.optout_number +
             Utf8ToAnsi("와 다릅니다");
    default:
      return std::string();
  }
}

}  // namespace

std::string AdTextFault(const SendingRules& rules, std::string_view text) {
  const AdProblem problem = CheckAdText(rules.business_name, rules.optout_number, text);
  switch (problem) {
    case AdProblem::kNone:
      return std::string();
    case AdProblem::kNoBusinessName:
      return Utf8ToAnsi("광고 메시지를 보내려면 먼저 사업자명(업체명)을 설정해야 합니다");
    case AdProblem::kNoMarker:
      return Utf8ToAnsi(
          "광고 메시지는 맨 앞에 \"(광고)\"를 띄어쓰기나 다른 괄호 없이 정확히 적어야 합니다");
    case AdProblem::kNoNameAfterMarker:
      return Utf8ToAnsi("\"(광고)\" 바로 뒤에 사업자명 \"") + rules.business_name +
             Utf8ToAnsi("\"을 적어야 합니다");
    default:
      return FooterWords(rules, problem);
  }
}

std::string NightFault(int64_t now_unix, std::string_view reserve, bool night_consent) {
  const NightAnswer answer = CheckNight(now_unix, reserve, night_consent);
  if (answer.unreadable) {
    return Utf8ToAnsi("예약 시각을 읽을 수 없어 광고 전송 시간을 확인할 수 없습니다");
  }
  if (!answer.night) return std::string();
  const std::string when = answer.reserved ? Utf8ToAnsi("예약 시각이 ") : Utf8ToAnsi("지금이 ");
  char clock[6];
  std::snprintf(clock, sizeof clock, "%02d:%02d", answer.minute / 60, answer.minute % 60);
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
