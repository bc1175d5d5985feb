// DSEND: the send check, and the direct sends of the recipients a request lists.
#ifndef PARLEY_COMMANDS_DSEND_COMMAND_H_
#define PARLEY_COMMANDS_DSEND_COMMAND_H_

#include <optional>
#include <string>
#include <string_view>

#include <asio/awaitable.hpp>

#include "protocol/send_requests.h"
#include "send/send_result.h"

namespace parley {

class Engine;
struct JobPolicy;

// The send check of DSEND and ESEND (mode 4): asks the web service, stores 1 (the answer starts
// with '1') or 0 in the session's send permission and answers the check's reply.
asio::awaitable<std::string> SendCheck(Engine& engine, protocol::SendCheckRequest request);

// The reply of a DSEND or ESEND: posts the sent report (also an empty one), then the send's
// result text (empty when nothing was tried) and the account figures.
asio::awaitable<std::string> AfterSend(Engine& engine, std::string result, std::string report);

// Decides whether a DSEND or ESEND body of `mode` (`command` names it in the log) sends under
// `policy`. Returns the result text of one that does not: empty for a mode that does not send or
// a send without the permission its policy asks, the refusal text for a send without a send
// journal (SendRefusal::kNoJournal) and for a body holding a raw backtick
// (protocol::HoldsRawBacktick), which would cut its fields. nullopt when it sends.
std::optional<std::string> RefuseSend(const Engine& engine, const JobPolicy& policy, int mode,
                                      std::string_view body, std::string_view command);

// result followed by a line feed and OptedOutLine when `opted_out` recipients were left out for
// the opt-out list and the send went out (or was cancelled); result alone otherwise.
std::string WithOptedOutLine(std::string result, const SendResult& sent, size_t opted_out);

// The DSEND handler. Mode (field 0) 4 is the send check; modes 1 (SMS) and 2 or 3 (MMS) run a
// direct send while the send permission is 1, then post the sent report (also an empty one) and
// answer the send's user text followed by the user information string. The sending rules
// (send_rules.h) refuse a send that breaks them (the refusal text and the user information
// string) and leave out the numbers on the opt-out list (named after the user text); any other
// mode, or a
// send without permission, sends nothing and answers the user information string alone. A send
// whose body holds a raw backtick (protocol::HoldsRawBacktick) is refused: nothing is sent, and
// the answer is the refusal text followed by the user information string.
asio::awaitable<std::string> OnDSend(Engine& engine, std::string body);

}  // namespace parley

#endif  // PARLEY_COMMANDS_DSEND_COMMAND_H_
