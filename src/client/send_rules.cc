#include "client/send_rules.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "protocol/rules_messages.h"
#include "rules/advert_rules.h"
#include "text/cp949.h"

namespace parley {
namespace {

// "0801234567" as "080-123-4567" (an 080 number of 10 or 11 digits).
std::string Hyphenated(const std::string& digits) {
  if (digits.size() == 10) {
    return digits.substr(0, 3) + "-" + digits.substr(3, 3) + "-" + digits.substr(6);
  }
  if (digits.size() == 11) {
    return digits.substr(0, 3) + "-" + digits.substr(3, 4) + "-" + digits.substr(7);
  }
  return digits;
}

int64_t Whole(std::string_view text) {
  // "125000." and "125,000" read as 125000.
  std::string digits;
  for (char c : text) {
    if (c == '.') break;
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits.empty() ? -1 : std::atoll(digits.c_str());
}

}  // namespace

bool ParseRulesData(std::string_view settings_reply, std::string_view callbacks_reply,
                    RulesData* data) {
  const auto settings = protocol::SettingsReply::Parse(settings_reply);
  const auto callbacks = protocol::NumberListReply::Parse(callbacks_reply, false);
  if (!settings || !callbacks) return false;
  *data = {};
  data->business_name = AnsiToUtf8(settings->business_name);
  data->optout_number = settings->optout_number;
  data->own_number = settings->own_number;
  data->optout_all = settings->optout_applies == "all";
  for (const protocol::ListedNumber& n : callbacks->entries) data->callbacks.push_back(n.number);
  return true;
}

std::vector<Verdict> CheckSendRules(const RulesData& rules, bool advert, bool night_consent,
                                    std::string_view text, std::string_view reserve,
                                    std::string_view callback, int64_t now_unix) {
  std::vector<Verdict> verdicts;
  if (advert) {
    switch (CheckAdText(Utf8ToAnsi(rules.business_name), rules.optout_number, Utf8ToAnsi(text))) {
      case AdProblem::kNone:
        break;
      case AdProblem::kNoBusinessName:
        verdicts.push_back({Msg::kAdNoBusinessName, {}, "business_name"});
        break;
      case AdProblem::kNoMarker:
        verdicts.push_back({Msg::kAdNoMarker, {}, kFieldText});
        break;
      case AdProblem::kNoNameAfterMarker:
        verdicts.push_back({Msg::kAdNoNameAfterMarker, {rules.business_name}, kFieldText});
        break;
      case AdProblem::kNoFooter:
        verdicts.push_back({Msg::kAdNoFooter, {}, kFieldText});
        break;
      case AdProblem::kFooterNotFree:
        verdicts.push_back({Msg::kAdFooterNotFree, {}, kFieldText});
        break;
      case AdProblem::kFooterNotSetting:
        verdicts.push_back(
            {Msg::kAdFooterNotSetting, {Hyphenated(rules.optout_number)}, kFieldText});
        break;
    }
    const NightAnswer night = CheckNight(now_unix, reserve, night_consent);
    char clock[6];
    std::snprintf(clock, sizeof clock, "%02d:%02d", night.minute / 60, night.minute % 60);
    if (night.unreadable) verdicts.push_back({Msg::kAdReserveUnreadable, {}, kFieldReserve});
    if (night.night) {
      verdicts.push_back({night.reserved ? Msg::kAdNightReserved : Msg::kAdNightNow,
                          {clock},
                          night.reserved ? kFieldReserve : "night_consent"});
    }
  }
  if (!callback.empty() && !rules.callbacks.empty()) {
    bool registered = false;
    for (const std::string& c : rules.callbacks) registered = registered || c == callback;
    if (!registered) {
      verdicts.push_back({Msg::kCallbackNotRegistered,
                          {std::string(callback)},
                          kFieldCallback,
                          std::string(callback)});
    }
  }
  return verdicts;
}

std::string WithAdvertising(std::string_view text, const RulesData& rules) {
  std::string out(text);
  const std::string marker = "(광고)";
  if (!out.starts_with(marker)) {
    out = marker + rules.business_name + (out.empty() ? "" : "\n") + out;
  } else if (!rules.business_name.empty()) {
    std::string_view rest = std::string_view(out).substr(marker.size());
    if (rest.starts_with(" ")) rest.remove_prefix(1);
    if (!rest.starts_with(rules.business_name)) {
      out = marker + rules.business_name + " " + std::string(rest);
    }
  }
  if (out.find("무료수신거부") == std::string::npos && out.find("무료거부") == std::string::npos) {
    out += "\n무료수신거부 " +
           (rules.optout_number.empty() ? std::string("080-") : Hyphenated(rules.optout_number));
  }
  return out;
}

std::string WithoutAdvertising(std::string_view text) {
  std::string out(text);
  const std::string marker = "(광고)";
  if (out.starts_with(marker)) {
    const size_t nl = out.find('\n');
    out = nl == std::string::npos ? std::string() : out.substr(nl + 1);
  }
  for (const char* word : {"\n무료수신거부", "\n무료거부"}) {
    if (const size_t at = out.rfind(word); at != std::string::npos) out.resize(at);
  }
  return out;
}

CostEstimate EstimateCost(const AccountInfo& account, MessageKind kind, int64_t messages) {
  CostEstimate cost;
  const int64_t balance = Whole(account.amount);
  const int64_t left = Whole(kind == MessageKind::kSms   ? account.sms_left
                             : kind == MessageKind::kLms ? account.lms_left
                                                         : account.mms_left);
  if (balance < 0 || left <= 0) return cost;
  cost.known = true;
  cost.balance = balance;
  cost.per_message = static_cast<double>(balance) / static_cast<double>(left);
  cost.total =
      static_cast<int64_t>(std::ceil(cost.per_message * static_cast<double>(messages) - 1e-9));
  cost.over_balance = messages > left;
  return cost;
}

Verdict CostVerdict(const CostEstimate& cost, int64_t messages) {
  const std::string total = GroupThousands(std::to_string(cost.total));
  const std::string balance = GroupThousands(std::to_string(cost.balance));
  if (cost.over_balance) return {Msg::kCostOverBalance, {total, balance}};
  return {Msg::kCostEstimate, {GroupThousands(std::to_string(messages)), total, balance}};
}

}  // namespace parley
