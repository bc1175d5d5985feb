// The sending rules (send/sending_rules.h) as the send commands apply them: the rules' data read
// from the engine's address book, the clock they read, and the checks every send path makes
// before the gateway is contacted.
#ifndef PARLEY_COMMANDS_SEND_RULES_H_
#define PARLEY_COMMANDS_SEND_RULES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal_types.h"
#include "protocol/rules_messages.h"
#include "protocol/send_requests.h"
#include "send/sending_rules.h"

namespace parley {

class AddressBook;
class RulesStore;
class Engine;

// The rules' data from book: the settings and both lists. A book that cannot be read gives
// empty rules (logged): the registered list is then not enforced and no number is left out.
SendingRules LoadSendingRules(AddressBook& book);
// The rules' data from a store; a store that cannot be read gives empty rules marked unreadable.
SendingRules LoadSendingRules(RulesStore& store);
SendingRules LoadSendingRules(Engine& engine);

// The Unix time the rules read: the system clock plus the engine's test offset.
int64_t RulesNow(const Engine& engine);

// The marks of a send request's title tags.
SendMarks MarksOf(const protocol::TitleTags& tags);

// Why a send may not go (CP949), or empty: for advertising, its text (AdTextFault, unless `text`
// is null: an Excel send checks each row's text itself) and its time (NightFault); for every send,
// a callback that can be a number but is not registered (CallbackFault). A callback that is no
// number is left to the pipelines' own refusal.
std::string SendFault(const SendingRules& rules, const SendMarks& marks, int64_t now,
                      const std::string* text, std::string_view reserve, std::string_view callback);

// The numbers of a comma-separated list that the rules leave out of a send of marks, among the
// first `count` entries (all when count < 0): the list and count without them, and each one left
// out as the journal keeps it (place: its entry's place in the list, from 1; reason
// kOptedOutReason).
struct OptedOutNumbers {
  std::string list;
  int64_t count = 0;
  std::vector<JournalLeftOut> left_out;
};
OptedOutNumbers LeaveOutOptedOut(const SendingRules& rules, const SendMarks& marks,
                                 std::string_view list, int64_t count);

// The recipients of a planned group send (each group's members, then the typed numbers) and
// those the rules leave out of a send of marks, with the group each came from (empty for a typed
// number). Throws CDBException when the address book cannot be read.
struct PlannedOptOuts {
  int64_t recipients = 0;
  std::vector<protocol::OptedOutRecipient> opted_out{};
};
PlannedOptOuts FindOptedOut(AddressBook& book, const SendingRules& rules, const SendMarks& marks,
                            const std::vector<std::string>& groups,
                            const std::vector<std::string>& numbers);

// "메시지 전송에 실패하였습니다", a line feed and the reason (CP949): a refused DSEND's or ASEND's
// answer.
std::string RuleRefusalText(std::string_view reason);

// The reason of a send whose recipients are all on the opt-out list (CP949).
std::string AllOptedOutReason();

}  // namespace parley

#endif  // PARLEY_COMMANDS_SEND_RULES_H_
