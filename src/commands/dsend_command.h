// DSEND: the send check, and the direct sends of the recipients a request lists.
#ifndef PARLEY_COMMANDS_DSEND_COMMAND_H_
#define PARLEY_COMMANDS_DSEND_COMMAND_H_

#include <string>
#include <string_view>
#include <vector>

#include <asio/awaitable.hpp>

#include "send/direct_send.h"
#include "text/mbcs.h"

namespace parley {

class Engine;

// The fields of a send body whose "<QX>" are backticks, as views into it; a field the body does
// not have is empty.
class BodyFields {
 public:
  explicit BodyFields(std::string_view body) : fields_(SplitFields(body, '`')) {}
  std::string_view operator[](size_t i) const {
    return i < fields_.size() ? fields_[i] : std::string_view();
  }

 private:
  std::vector<std::string_view> fields_;
};

// The head every send order (DirectOrder, GroupOrder, ExcelOrder) takes from its body's fields:
// the kind from the mode (1 SMS, else MMS), 1 the count, 2 the title, 3 the reservation.
template <typename Order>
void ReadOrderHead(const BodyFields& fields, int mode, Order* order) {
  order->kind = mode == 1 ? SendKind::kSms : SendKind::kMms;
  order->count = Atoi(fields[1]);
  order->title = fields[2];
  order->reserve_date = fields[3];
}

// The picture names of a DSEND or ASEND MMS body (its "<QX>" replaced by backticks): read only
// when "<IMG>" stands in the body after its first character, from field `field` without its
// first five characters; up to three comma-separated names, up to the first empty one.
std::vector<std::string> PictureList(std::string_view body, int field);

// The send check of DSEND and ESEND (mode 4). `body` has its "<QX>" replaced by backticks:
// field 1 the total count, 2 the type code ("1" SMS, "2" LMS, else MMS), 3 the reservation date.
// Asks the web service, stores 1 (the answer starts with '1') or 0 in the session's send permission
// and returns "QXSENDABLECHECK<QX>" + answer + "<QX>" + field 2 + "<QX>" + field 1 followed by
// the user information string.
std::string SendCheck(Engine& engine, const std::string& body);

// True when a request body, as the UI program sent it, holds a raw backtick. The handlers split
// bodies at backticks, so one would cut its field short and shift the fields after it; the UI
// program codes a backtick in a text as "&gacct;". DSEND and ESEND refuse such a send with
// RefusalText(kRawBacktick).
bool HoldsRawBacktick(std::string_view body);

// The DSEND handler. Mode (field 0) 4 is the send check; modes 1 (SMS) and 2 or 3 (MMS) run a
// direct send while the send permission is 1, then post the sent report (also an empty one) and
// answer the send's user text followed by the user information string; any other mode, or a
// send without permission, sends nothing and answers the user information string alone. A send
// whose body holds a raw backtick is refused: nothing is sent, and the answer is the refusal
// text followed by the user information string.
asio::awaitable<std::string> OnDSend(Engine& engine, std::string body);

}  // namespace parley

#endif  // PARLEY_COMMANDS_DSEND_COMMAND_H_
