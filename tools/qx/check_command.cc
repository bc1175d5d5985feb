#include "qx/check_command.h"

#include <ostream>

#include "protocol/send_requests.h"
#include "qx/exit_codes.h"
#include "qx/reply_text.h"

namespace parley {
namespace {

constexpr size_t kAccountFields = 6;

// Trims blanks at both ends.
std::string Trim(std::string text) {
  const char* blanks = " \t\r\n";
  text.erase(0, text.find_first_not_of(blanks));
  text.erase(text.find_last_not_of(blanks) + 1);
  return text;
}

}  // namespace

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
                  std::ostream& out, bool* passed) {
  const std::string body = protocol::SendCheckRequest{std::to_string(count), std::string(kind_code),
                                                      std::string(reserve)}
                               .Build();
  std::string reply;
  if (!session.Ask(code, body, &reply)) return false;
  // "QXSENDABLECHECK", the check text (whose own columns are "<QX>" too), the type code, the
  // count, then the six account fields.
  std::vector<std::string> fields = SplitOn(reply, kFieldSep);
  std::string text;
  if (fields.size() >= kAccountFields + 4 && fields[0] == protocol::kSendCheckTag) {
    for (size_t i = 1; i + kAccountFields + 2 < fields.size(); ++i) {
      if (i > 1) text += " | ";
      text += Trim(ScreenText(fields[i]));
    }
  }
  *passed = !text.empty() && text[0] == '1';
  out << Text(language, *passed ? Msg::kCheckPassed : Msg::kCheckRefused, {text}) << "\n";
  AccountInfo info;
  if (ParseAccountTail(reply, &info)) PrintAccount(info, language, out);
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
