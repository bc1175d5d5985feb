// The client core's plan of a direct or group send: what the engine will get (the numbers
// normalised, the callback as digits, the text read from its file, the reservation in the
// engine's form), the counts a person checks before sending, and every verdict that stops it.
// qx and parley-ui word the verdicts; neither decides anything about the send itself.
#ifndef PARLEY_CLIENT_SEND_PLAN_H_
#define PARLEY_CLIENT_SEND_PLAN_H_

#include <cstddef>
#include <vector>

#include "client/message_text.h"
#include "client/reservation.h"
#include "client/send_request.h"
#include "client/send_rules.h"
#include "client/verdict.h"

namespace parley {

// The recipients typed or read from a file: items given, numbers kept, duplicates removed (after
// normalisation) and items refused.
struct RecipientCounts {
  size_t typed = 0;
  size_t valid = 0;
  size_t duplicates = 0;
  size_t invalid = 0;
};

struct SendPlan {
  SendOptions checked;            // the options as the engine will get them
  std::vector<Verdict> problems;  // empty when the send may go, in the order of the fields
  std::vector<Verdict> notes;     // what the user should know that does not stop the send
  RecipientCounts counts;
  TextCheck text;  // the text's bytes and kind (with the pictures counted)
  bool ok() const { return problems.empty(); }
};

// Plans the send of options against the local time now (and, for the night hours, the Unix time
// now_unix). Nothing is sent and nothing is asked of the engine; a --to-file or --text-file is
// read. With the engine's sending-rule data (rules), an advertising send's text and hours and a
// callback outside the registered ones are verdicts too; without it an advertising send is
// refused (its business name is unknown). With insert_ad and the rule data the text is made an
// advertising one first (WithAdvertising), and a note says when that makes an SMS an LMS.
SendPlan PlanSend(const SendOptions& options, const Minute& now, const RulesData* rules = nullptr,
                  int64_t now_unix = 0);

}  // namespace parley

#endif  // PARLEY_CLIENT_SEND_PLAN_H_
