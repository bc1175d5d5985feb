#include "qx/check_command.h"

#include <ostream>

#include "client/send_check.h"
#include "protocol/send_requests.h"
#include "qx/exit_codes.h"
#include "qx/reply_text.h"

namespace parley {

std::string KindCode(std::string_view kind) {
  std::string lower;
  for (char c : kind) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower == "sms") return "1";
  if (lower == "lms") return "2";
  if (lower == "mms") return "3";
  return "";
}

bool RunSendCheck(LinkSession& session, std::string_view code, int64_t count,
                  std::string_view kind_code, std::string_view reserve, Language language,
                  std::ostream& out, bool* passed, SendCheckAnswer* kept) {
  const std::string body = protocol::SendCheckRequest{std::to_string(count), std::string(kind_code),
                                                      std::string(reserve)}
                               .Build();
  std::string reply;
  if (!session.Ask(code, body, &reply)) return false;
  SendCheckAnswer answer;
  if (!ParseSendCheckReply(reply, &answer)) answer = {};
  *passed = answer.passed;
  out << Word(language, SendCheckVerdict(answer)) << "\n";
  if (answer.have_account && !answer.account.name.empty())
    PrintAccount(answer.account, language, out);
  if (kept != nullptr) *kept = answer;
  return true;
}

int RunCheckCommand(const CheckOptions& options, const LinkTarget& target, std::ostream& out,
                    std::ostream& err) {
  const std::string kind_code = KindCode(options.kind);
  if (kind_code.empty() || options.count < 1) {
    err << "qx check: " << Text(options.language, Msg::kCheckUsage) << "\n";
    return kExitUsage;
  }
  LinkSession session(target, err);
  bool passed = false;
  if (!session.Open() ||
      !RunSendCheck(session, options.excel ? "ESEND" : "DSEND", options.count, kind_code,
                    options.reserve, options.language, out, &passed)) {
    return kExitNoEngine;
  }
  return passed ? kExitOk : kExitRefused;
}

}  // namespace parley
