// The web service's send check as the engine passes it on (DSEND or ESEND, mode 4): whether the
// send may go, the service's reason, and the figures it gave. The service's columns after the
// result are its own (its reply carries the kind, the count asked, the count the balance allows,
// the time and a line for the user); a reply of another shape keeps its words as the reason.
#ifndef PARLEY_CLIENT_SEND_CHECK_H_
#define PARLEY_CLIENT_SEND_CHECK_H_

#include <string>
#include <string_view>

#include "client/reply_fields.h"
#include "client/verdict.h"

namespace parley {

struct SendCheckAnswer {
  bool passed = false;
  std::string kind;     // "SMS", "LMS" or "MMS" as the service named it
  std::string asked;    // the count asked for
  std::string allowed;  // the count the balance allows
  std::string reason;   // the service's line for the user (UTF-8); empty when it gave none
  AccountInfo account;  // the account figures after the check
  bool have_account = false;
};

// Reads a send check reply ("QXSENDABLECHECK<QX>" + the service's text + type + count + the
// account figures). False when the body is no such reply.
bool ParseSendCheckReply(std::string_view reply, SendCheckAnswer* answer);

// The answer as a verdict: kSendCheckPassed (kind, count, allowed) or kSendCheckRefused (reason,
// kind, count, allowed), the counts with thousands separators; kSendCheckRefusedPlain (reason)
// when the service gave no figures; kNotLoggedIn or kNoWebAnswer when it gave nothing to read.
Verdict SendCheckVerdict(const SendCheckAnswer& answer);

}  // namespace parley

#endif  // PARLEY_CLIENT_SEND_CHECK_H_
