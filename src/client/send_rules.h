// Korea's sending rules as a front end checks them before it asks the engine to send: the
// advertising text's marker and free opt-out line, the night hours, the registered callback
// numbers, and what the send will cost. The data comes from the engine (SETGT, CBKLS); the rules
// themselves are the engine's (rules/advert_rules.h), so the page, qx and the engine agree.
#ifndef PARLEY_CLIENT_SEND_RULES_H_
#define PARLEY_CLIENT_SEND_RULES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/message_text.h"
#include "client/reply_fields.h"
#include "client/verdict.h"

namespace parley {

// The rules' settings and the registered callbacks, UTF-8 (numbers as digits).
struct RulesData {
  std::string business_name;
  std::string optout_number;
  std::string own_number;
  bool optout_all = false;             // the opt-out list covers every send, not only advertising
  std::vector<std::string> callbacks;  // registered callback numbers; empty: none registered
};

// From the engine's SETGT and CBKLS replies (CP949). False when either is no such reply.
bool ParseRulesData(std::string_view settings_reply, std::string_view callbacks_reply,
                    RulesData* data);

// The rules' verdicts on a send: an advertising text (UTF-8) without its marker, business name or
// free opt-out line; an advertising send now or reserved (the engine's 12 digits, empty: now) in
// the night hours of Korean time without the recipients' night consent; a callback (digits) that
// is not registered while some are.
std::vector<Verdict> CheckSendRules(const RulesData& rules, bool advert, bool night_consent,
                                    std::string_view text, std::string_view reserve,
                                    std::string_view callback, int64_t now_unix);

// The text made an advertising one: "(광고)" and the business name before it and the free opt-out
// line after it, each only when it is missing.
std::string WithAdvertising(std::string_view text, const RulesData& rules);

// The text without its advertising marker line and opt-out line, as the user wrote it: for
// telling whether they made it an LMS.
std::string WithoutAdvertising(std::string_view text);

// What a send will cost, from the account figures the engine reports: the price of one message
// of the kind is the balance over the messages of that kind it still buys.
struct CostEstimate {
  bool known = false;      // the figures allow an estimate
  double per_message = 0;  // won
  int64_t total = 0;       // won, rounded up
  int64_t balance = 0;     // won
  bool over_balance = false;
};
CostEstimate EstimateCost(const AccountInfo& account, MessageKind kind, int64_t messages);

// The estimate as a verdict: kCostEstimate (messages, total, balance), or kCostOverBalance (total,
// balance) when it exceeds the balance.
Verdict CostVerdict(const CostEstimate& cost, int64_t messages);

}  // namespace parley

#endif  // PARLEY_CLIENT_SEND_RULES_H_
