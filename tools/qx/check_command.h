// qx check: the send check alone (DSEND 4, or ESEND 4 with --excel): may a send of this many
// messages of this kind go ahead? The engine remembers the answer for the sends that follow.
#ifndef PARLEY_QX_CHECK_COMMAND_H_
#define PARLEY_QX_CHECK_COMMAND_H_

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "client/messages.h"
#include "client/send_check.h"
#include "qx/link_session.h"

namespace parley {

struct CheckOptions {
  int64_t count = 1;
  std::string kind = "sms";  // sms, lms or mms
  std::string reserve;       // reservation date-time; empty: now
  bool excel = false;        // ask through ESEND instead of DSEND
  Language language = Language::kEnglish;
};

// The type code of the check for a kind: "1" SMS, "2" LMS, "3" MMS; empty for another kind.
std::string KindCode(std::string_view kind);

// Runs the check as mode 4 of `code` ("DSEND" or "ESEND") on an open session, printing the web
// service's answer and the account figures to out. *passed is set when the answer starts with
// "1"; with answer, the whole answer (its account figures) is kept there. False when the engine
// did not answer.
bool RunSendCheck(LinkSession& session, std::string_view code, int64_t count,
                  std::string_view kind_code, std::string_view reserve, Language language,
                  std::ostream& out, bool* passed, SendCheckAnswer* answer = nullptr);

// Returns kExitOk when the check passed, kExitRefused when it did not, kExitUsage for a bad kind
// or count, kExitNoEngine.
int RunCheckCommand(const CheckOptions& options, const LinkTarget& target, std::ostream& out,
                    std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_CHECK_COMMAND_H_
