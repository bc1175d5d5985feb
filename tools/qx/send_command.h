// qx send: the send check and a direct SMS, long-text or picture send through the engine, as the
// UI program runs them (DSEND 4, then DSEND 1, 2 or 3); or, with --group, a send to address-book
// groups plus numbers (ADDRB 2 to check the groups, DSEND 4, then ASEND 1, 2 or 3). Everything is
// checked by the client core first. Text in and out is UTF-8.
#ifndef PARLEY_QX_SEND_COMMAND_H_
#define PARLEY_QX_SEND_COMMAND_H_

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "client/message_text.h"
#include "client/messages.h"
#include "client/send_request.h"
#include "qx/link_session.h"

namespace parley {

// The last step before a send: with dry_run prints that nothing is sent and returns kExitOk;
// with confirm asks on err and reads standard input, returning kExitRefused (nothing sent) for
// any answer but yes. Returns -1 when the send should go on.
int StopBeforeSending(bool dry_run, bool confirm, Language language, std::string_view who,
                      std::ostream& out, std::ostream& err);

// Sends a job (code DSEND, ASEND or ESEND with body) on session and prints its outcome: with the
// progress line when progress (a --progress mode) says so, and Ctrl-C cancelling the job through
// the engine (a second Ctrl-C ends qx at once). The reply's text goes to out, or, when the engine
// reports the send failed and STATE tells how the gateway ended it, that in the user's words; then
// the account figures. Returns kExitOk when the reply's text is success_text or (empty
// success_text) any non-empty text but the failure text; kExitCancelled with the count that went
// out; kExitRefused; kExitNoEngine.
int RunJobSend(LinkSession& session, std::string_view code, std::string_view body,
               std::string_view label, std::string_view progress, std::string_view success_text,
               Language language, std::ostream& out, std::ostream& err);

// Runs the send against the engine at target. Before anything reaches the engine the client
// core checks the recipients (normalised, duplicates removed unless keep_duplicates), the
// callback, the text, the reservation and the pictures; every refusal is printed to err with the
// item it came from, and nothing is sent (kExitUsage). Then the recipients, kind and byte count
// are shown, the send check runs and its answer is printed; dry_run stops there; with confirm
// a "y" is read from standard input before sending (anything else: nothing sent, kExitRefused).
// Returns kExitOk when the check passed and (unless only the check or a dry run was asked for) the
// engine reported the messages sent; kExitRefused when the login or the check was refused or the
// send failed; kExitNoEngine. A group send first checks its groups in the engine's address book
// (ADDRB 2; unknown or empty groups: kExitUsage) and runs the send check for members plus
// numbers; its reply has only the account figures: kExitOk when the engine answered it.
// The engine's sending-rule data (SETGT, CBKLS) is part of the plan: an advertising send's
// text and hours (judged at now_unix, 0: the clock) and an unregistered callback are refused
// before the engine sees them (kExitUsage); the recipients the opt-out list leaves out (OPTCK)
// and the cost estimate are shown before the confirmation, and a send that would leave nobody or
// cost more than the balance is refused (kExitRefused). An advertising send's night consent is
// asked again with confirm.
int RunSendCommand(const SendOptions& options, const LinkTarget& target, std::ostream& out,
                   std::ostream& err, int64_t now_unix = 0);

}  // namespace parley

#endif  // PARLEY_QX_SEND_COMMAND_H_
