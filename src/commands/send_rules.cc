#include "commands/send_rules.h"

#include <spdlog/spdlog.h>

#include <ctime>

#include "db/address_book.h"
#include "db/db_exception.h"
#include "db/rules_book.h"
#include "engine/engine.h"
#include "numbers/korean_number.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {

SendingRules LoadSendingRules(RulesStore& rules_book) {
  SendingRules rules;
  try {
    std::map<std::string, std::string> settings = rules_book.Settings();
    rules.business_name = settings[std::string(kBusinessNameSetting)];
    rules.optout_number = settings[std::string(kOptOutNumberSetting)];
    rules.optout_applies_all = settings[std::string(kOptOutAppliesSetting)] == "all";
    for (OptOutEntry& e : rules_book.OptOuts()) rules.opted_out.insert(std::move(e.number));
    for (CallbackEntry& e : rules_book.Callbacks()) rules.callbacks.insert(std::move(e.number));
  } catch (const CDBException& e) {
    spdlog::warn("sending rules: their data cannot be read: {}", AnsiToUtf8(e.what()));
    SendingRules none;
    none.unreadable = true;
    return none;
  }
  return rules;
}

SendingRules LoadSendingRules(AddressBook& book) {
  RulesBook rules_book(book);
  SendingRules rules = LoadSendingRules(rules_book);
  rules.unreadable = false;  // a book file that cannot be read sends as before
  return rules;
}

SendingRules LoadSendingRules(Engine& engine) {
  EngineServices& services = engine.services();
  if (!services.shared_rules_store()) return LoadSendingRules(services.address_book());
  return LoadSendingRules(services.rules_store());
}

int64_t RulesNow(const Engine& engine) {
  return static_cast<int64_t>(std::time(nullptr)) +
         engine.services().config().test_clock_offset_seconds;
}

SendMarks MarksOf(const protocol::TitleTags& tags) { return {tags.advert, tags.night_consent}; }

std::string SendFault(const SendingRules& rules, const SendMarks& marks, int64_t now,
                      const std::string* text, std::string_view reserve,
                      std::string_view callback) {
  if (rules.unreadable) {
    return Utf8ToAnsi(
        "사무실 데이터베이스에서 수신거부 목록과 발신번호를 읽을 수 없어 보내지 않았습니다");
  }
  if (marks.advert) {
    if (text != nullptr) {
      if (std::string fault = AdTextFault(rules, *text); !fault.empty()) return fault;
    }
    if (std::string fault = NightFault(now, reserve, marks.night_consent); !fault.empty()) {
      return fault;
    }
  }
  const CheckedNumber number = CheckKoreanNumber(callback, NumberUse::kCallback);
  if (!number.ok()) return std::string();
  return CallbackFault(rules, number.digits);
}

OptedOutNumbers LeaveOutOptedOut(const SendingRules& rules, const SendMarks& marks,
                                 std::string_view list, int64_t count) {
  OptedOutNumbers out;
  if (list.empty()) {
    out.count = count;
    return out;
  }
  std::vector<std::string_view> kept;
  int64_t place = 0;
  for (std::string_view entry : SplitFields(list, ',')) {
    ++place;
    const bool counted = count < 0 || place <= count;
    const CheckedNumber number = CheckKoreanNumber(entry, NumberUse::kRecipient);
    if (counted && number.ok() && LeavesOut(rules, marks, number.digits)) {
      out.left_out.push_back({place, std::string(entry), std::string(kOptedOutReason)});
    } else {
      kept.push_back(entry);
    }
  }
  // Unchanged, byte for byte, when nothing is left out.
  if (out.left_out.empty()) {
    out.list = std::string(list);
  } else {
    for (size_t i = 0; i < kept.size(); ++i) {
      if (i > 0) out.list += ',';
      out.list += kept[i];
    }
  }
  out.count = count < 0 ? count : count - static_cast<int64_t>(out.left_out.size());
  return out;
}

PlannedOptOuts FindOptedOut(AddressBook& book, const SendingRules& rules, const SendMarks& marks,
                            const std::vector<std::string>& groups,
                            const std::vector<std::string>& numbers) {
  PlannedOptOuts planned;
  auto consider = [&](const std::string& number, const std::string& group) {
    ++planned.recipients;
    const CheckedNumber checked = CheckKoreanNumber(number, NumberUse::kRecipient);
    if (checked.ok() && LeavesOut(rules, marks, checked.digits)) {
      planned.opted_out.push_back({checked.digits, group});
    }
  };
  for (const std::string& group : groups) {
    if (group.empty()) break;  // a group send reads the names up to the first empty one
    const std::string key = book.FindGroupSeq(group);
    if (key.empty()) continue;
    for (const std::string& member : book.GroupMembers(key)) consider(member, group);
  }
  for (const std::string& number : numbers) consider(number, std::string());
  return planned;
}

std::string RuleRefusalText(std::string_view reason) {
  return Utf8ToAnsi("메시지 전송에 실패하였습니다\n") + std::string(reason);
}

std::string AllOptedOutReason() {
  return Utf8ToAnsi("수신자가 모두 수신거부 목록에 있어 보내지 않았습니다");
}

}  // namespace parley
