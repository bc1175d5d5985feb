#include "qx/login_command.h"

#include <cstdlib>
#include <ostream>

#include "protocol/query_requests.h"
#include "qx/exit_codes.h"
#include "qx/reply_text.h"
#include "qx/terminal.h"
#include "text/cp949.h"

namespace parley {
namespace {

// A LOGIN body shorter than this (in CP949 bytes) is taken by the engine as the saved-id query.

}  // namespace

std::string LoginBody(const LoginOptions& options) {
  return protocol::LoginRequest{options.id, options.password, options.save}.Build();
}

int RunLoginCommand(LoginOptions options, const LinkTarget& target, std::ostream& out,
                    std::ostream& err) {
  std::string reply;
  if (options.saved) {
    if (!AskOnce(target, "LOGIN", protocol::LoginRequest::kSavedIdBody, &reply, err))
      return kExitNoEngine;
    // "1<QX>" alone, or "1<QX>" + id + "<QX>".
    std::vector<std::string> fields = SplitOn(reply, kFieldSep);
    if (fields.size() >= 2 && !fields[1].empty()) {
      out << Text(options.language, Msg::kSavedId, {ScreenText(fields[1])}) << "\n";
    } else {
      out << Text(options.language, Msg::kNoSavedId) << "\n";
    }
    return kExitOk;
  }
  if (options.password.empty()) {
    if (const char* env = std::getenv("QX_PASSWORD")) options.password = env;
  }
  if (options.password.empty() && !options.id.empty() && options.prompt &&
      !ReadHiddenLine(Text(options.language, Msg::kPasswordPrompt), &options.password, err)) {
    return kExitUsage;
  }
  if (options.id.empty() || options.password.empty()) {
    err << "qx login: " << Text(options.language, Msg::kLoginUsage) << "\n";
    return kExitUsage;
  }
  if (protocol::LoginRequest::AsksSavedId(Utf8ToAnsi(LoginBody(options)))) {
    err << "qx login: an id and password this short would be read as the saved-id query\n";
    return kExitUsage;
  }
  if (!AskOnce(target, "LOGIN", LoginBody(options), &reply, err)) return kExitNoEngine;
  // Accepted: "2", "1", six account fields, the engine directory, "". Refused: "2", the web
  // service's first character, "", the engine directory, "".
  std::vector<std::string> fields = SplitOn(reply, kFieldSep);
  if (fields.size() < 2 || fields[0] != "2") {
    err << "qx login: unexpected reply \"" << ScreenText(reply) << "\"\n";
    return kExitRefused;
  }
  if (fields[1] != "1") {
    std::string code = fields[1].empty() || fields[1][0] == '\0' ? "no answer" : fields[1];
    out << Text(options.language, Msg::kLoginAnswerCode, {ScreenText(code)}) << "\n";
    return kExitRefused;
  }
  AccountInfo info;
  out << Text(options.language, options.save ? Msg::kLoggedInSaved : Msg::kLoggedIn, {options.id})
      << "\n";
  if (AccountFromFields(fields, 2, &info)) PrintAccount(info, options.language, out);
  if (fields.size() >= 9) {
    out << Text(options.language, Msg::kEngineHome, {ScreenText(fields[8])}) << "\n";
  }
  return kExitOk;
}

}  // namespace parley
