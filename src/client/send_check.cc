#include "client/send_check.h"

#include <vector>

#include "protocol/markup.h"

namespace parley {
namespace {

constexpr size_t kAccountFieldCount = 6;

std::string Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

bool ParseSendCheckReply(std::string_view reply, SendCheckAnswer* answer) {
  const std::vector<std::string> f = SplitOn(reply, kFieldSep);
  // The tag, at least the result, the type and count the engine adds, and the account figures.
  if (f.empty() || f[0] != protocol::kSendCheckTag) return false;
  *answer = {};
  size_t text_end = f.size();
  if (f.size() >= 1 + 1 + 2 + kAccountFieldCount) {
    answer->have_account = AccountFromFields(f, f.size() - kAccountFieldCount, &answer->account);
    text_end = f.size() - kAccountFieldCount - 2;
  }
  const std::vector<std::string> text(f.begin() + 1, f.begin() + static_cast<long>(text_end));
  answer->passed = !text.empty() && !text[0].empty() && text[0][0] == '1';
  if (text.size() >= 5 && AllDigits(text[2]) && AllDigits(text[3])) {
    answer->kind = Trimmed(ScreenText(text[1]));
    answer->asked = text[2];
    answer->allowed = text[3];
    // The last column is the time and, on its own line, the line for the user.
    const std::string& last = text.back();
    const size_t nl = last.rfind('\n');
    if (nl != std::string::npos) answer->reason = Trimmed(ScreenText(last.substr(nl + 1)));
    return true;
  }
  // Another shape: every column after the result is the service's words.
  std::string words;
  for (size_t i = 1; i < text.size(); ++i) {
    const std::string piece = Trimmed(ScreenText(text[i]));
    if (piece.empty()) continue;
    if (!words.empty()) words += " ";
    words += piece;
  }
  answer->reason = words;
  return true;
}

Verdict SendCheckVerdict(const SendCheckAnswer& answer) {
  if (answer.passed) {
    return {Msg::kSendCheckPassed,
            {answer.kind, GroupThousands(answer.asked), GroupThousands(answer.allowed)}};
  }
  if (answer.kind.empty()) {
    if (answer.reason.empty()) {
      // A logged-out engine asks nothing and has no account to show.
      const bool logged_out = answer.have_account && answer.account.name.empty();
      return {logged_out ? Msg::kNotLoggedIn : Msg::kNoWebAnswer};
    }
    return {Msg::kSendCheckRefusedPlain, {answer.reason}};
  }
  return {
      Msg::kSendCheckRefused,
      {answer.reason, answer.kind, GroupThousands(answer.asked), GroupThousands(answer.allowed)}};
}

}  // namespace parley
