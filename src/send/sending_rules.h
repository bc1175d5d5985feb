// The rules a send must keep under Korean law, as plain checks over the data they need: the
// advertising text's marker and opt-out footer, the night hours of advertising, the opt-out list
// and the registered callback numbers (docs/sending-rules.md names each rule's source). The
// caller loads the data (db/rules_book.h) and reads the clock; nothing here touches either.
// Texts are engine text (CP949); every reason is CP949, in the user's words.
#ifndef PARLEY_SEND_SENDING_RULES_H_
#define PARLEY_SEND_SENDING_RULES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "rules/advert_rules.h"

namespace parley {

// The data the rules are checked against.
struct SendingRules {
  std::string business_name;        // CP949; empty when not set
  std::string optout_number;        // the free opt-out number (digits); empty when not set
  bool optout_applies_all = false;  // the opt-out list covers every send, not only advertising
  std::unordered_set<std::string> opted_out;  // digits
  std::unordered_set<std::string> callbacks;  // registered callbacks (digits); empty: any
  bool unreadable = false;  // the office's database could not be read: no send may go
};

// What a send says of itself (the <AD> and <NIGHT> tags of its title).
struct SendMarks {
  bool advert = false;         // an advertising message
  bool night_consent = false;  // every recipient consented apart to night advertising
  bool operator==(const SendMarks&) const = default;
};

// Why an advertising text breaks the rules, or empty when it keeps them. The text must begin with
// exactly "(광고)", then at most one space, then the business name; and it must hold an opt-out
// line: "무료수신거부" or "무료거부", then (after spaces or a colon) an 080 number, hyphens
// optional, which is the optout_number when one is set.
std::string AdTextFault(const SendingRules& rules, std::string_view text);

// Why an advertising send may not go at its time, or empty: a reservation (12 digits
// YYYYMMDDHHMM, Korean time; hyphens, colons and spaces between are ignored) or, without one,
// the Korean time of now_unix, in the night hours, unless the recipients consented apart. A
// reservation that cannot be read is refused too, since its time cannot be checked.
std::string NightFault(int64_t now_unix, std::string_view reserve, bool night_consent);

// Why the callback (normalised digits) may not be used: the registered list is not empty and
// does not hold it. Empty when it may.
std::string CallbackFault(const SendingRules& rules, std::string_view callback);

// True when the recipient (normalised digits) is left out of a send of these marks: it is on the
// opt-out list, and the send is advertising or the list covers every send.
bool LeavesOut(const SendingRules& rules, const SendMarks& marks, std::string_view recipient);

// The reason token a recipient left out for the opt-out list has in the journal.
inline constexpr std::string_view kOptedOutReason = "opted-out";

// The line a send's answer adds after its result when recipients were left out for the opt-out
// list: "수신거부 N명 제외" (CP949).
std::string OptedOutLine(int64_t count);

}  // namespace parley

#endif  // PARLEY_SEND_SENDING_RULES_H_
