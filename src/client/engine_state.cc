#include "client/engine_state.h"

#include <regex>

#include <charconv>
#include <vector>

#include "protocol/markup.h"
#include "text/cp949.h"

namespace parley {
namespace {

std::vector<std::string_view> Fields(std::string_view body) {
  std::vector<std::string_view> fields;
  for (;;) {
    const size_t at = body.find(protocol::kFieldSep);
    fields.push_back(body.substr(0, at));
    if (at == std::string_view::npos) return fields;
    body.remove_prefix(at + protocol::kFieldSep.size());
  }
}

// A count field: decimal digits, or empty for 0.
bool ParseCount(std::string_view text, int64_t* value) {
  *value = 0;
  if (text.empty()) return true;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size() && *value >= 0;
}

}  // namespace

bool ParseEngineState(std::string_view body, EngineState* state) {
  const std::vector<std::string_view> f = Fields(body);
  if ((f.size() != kEngineStateFields && f.size() != kEngineStateFields - 1) ||
      (f[3] != "0" && f[3] != "1")) {
    return false;
  }
  EngineState s;
  s.version = AnsiToUtf8(f[0]);
  s.home = AnsiToUtf8(f[1]);
  s.book_path = AnsiToUtf8(f[2]);
  s.logged_in = f[3] == "1";
  s.login_id = AnsiToUtf8(f[4]);
  s.command = std::string(f[6]);
  s.kind = std::string(f[7]);
  s.outcome = std::string(f[8]);
  s.gateway_job_id = AnsiToUtf8(f[12]);
  if (f.size() == kEngineStateFields) s.journal_notice = AnsiToUtf8(f[13]);
  if (!ParseCount(f[5], &s.job) || !ParseCount(f[9], &s.total) || !ParseCount(f[10], &s.sent) ||
      !ParseCount(f[11], &s.acknowledged)) {
    return false;
  }
  *state = std::move(s);
  return true;
}

std::optional<Verdict> GatewayFailure(const EngineState& state) {
  std::string sent = std::to_string(state.sent);
  if (state.outcome == "refused") return Verdict{Msg::kGatewayRefused};
  if (state.outcome == "no-answer") return Verdict{Msg::kGatewayNoAnswer, {sent}};
  if (state.outcome == "closed") return Verdict{Msg::kGatewayClosed, {sent}};
  if (state.outcome == "nack") {
    return Verdict{Msg::kGatewayNack, {std::to_string(state.acknowledged), sent}};
  }
  return std::nullopt;
}

std::string GatewayFailureText(const EngineState& state, Language language) {
  const std::optional<Verdict> failure = GatewayFailure(state);
  return failure ? Word(language, *failure) : std::string();
}

std::vector<Verdict> JournalNotices(std::string_view notice) {
  std::vector<Verdict> verdicts;
  if (notice.empty()) return verdicts;
  const std::string text(notice);
  std::smatch m;
  bool known = false;
  if (std::regex_search(
          text, m,
          std::regex(R"(the send journal (.*) cannot be opened: (.*?); nothing can be sent)"))) {
    verdicts.push_back({Msg::kJournalUnopened, {m[1], m[2]}});
    known = true;
  }
  if (std::regex_search(
          text, m,
          std::regex(
              R"(the send journal (.*) was damaged; it was moved to (.*) and a new one started)"))) {
    verdicts.push_back({Msg::kJournalMovedAside, {m[1], m[2]}});
    known = true;
  }
  if (std::regex_search(
          text, m, std::regex(R"((\d+) jobs were interrupted when the engine last stopped)"))) {
    verdicts.push_back({Msg::kJournalInterrupted, {m[1]}});
    known = true;
  }
  if (!known) verdicts.push_back({Msg::kEngineRefusedOther, {text}});
  return verdicts;
}

}  // namespace parley
