#include "ui/ui_api.h"

#include <chrono>
#include <sstream>
#include <vector>

#include "client/engine_state.h"
#include "client/message_text.h"
#include "protocol/markup.h"
#include "protocol/query_requests.h"
#include "protocol/send_requests.h"
#include "protocol/status_messages.h"
#include "qx/reply_text.h"
#include "qx/send_command.h"
#include "text/cp949.h"
#include "ui/json_writer.h"
#include "ui/ui_link.h"

namespace parley {
namespace {

using namespace std::chrono_literals;

// The longest a send may take before the page is told the engine did not answer.
constexpr auto kSendWait = std::chrono::milliseconds(std::chrono::hours(2));
constexpr auto kCommandWait = std::chrono::milliseconds(60s);

std::string Field(const ApiFields& fields, const std::string& name) {
  const auto it = fields.find(name);
  return it == fields.end() ? std::string() : it->second;
}

ApiReply NoEngine() {
  JsonWriter json;
  json.BeginObject().Field("ok", false).Field("error", "the engine does not answer").EndObject();
  return {503, json.text()};
}

// The lines a check wrote, without the program's name before them.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("qx send: ")) line.erase(0, 9);
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

void WriteAccount(JsonWriter& json, const AccountInfo& info, Language language) {
  json.Key("account")
      .BeginObject()
      .Field("name", info.name)
      .Field("grade", info.grade)
      .Field("amount", FormatAmount(language, info.amount))
      .Field("sms", info.sms_left)
      .Field("lms", info.lms_left)
      .Field("mms", info.mms_left)
      .EndObject();
}

// The options of a direct send as the page gives them.
SendOptions OptionsOf(const ApiFields& fields, Language language) {
  SendOptions o;
  o.to = {Field(fields, "to")};
  o.text = Field(fields, "text");
  o.title = Field(fields, "title");
  o.callback = Field(fields, "callback");
  o.reserve = Field(fields, "reserve");
  o.language = language;
  return o;
}

}  // namespace

ApiReply UiApi::State() {
  const std::optional<std::string> reply = link_.Ask("STATE", "", kCommandWait);
  EngineState s;
  if (!reply || !ParseEngineState(*reply, &s)) return NoEngine();
  JsonWriter json;
  json.BeginObject()
      .Field("ok", true)
      .Field("version", s.version)
      .Field("logged_in", s.logged_in)
      .Field("login_id", s.login_id)
      .Field("journal_notice", s.journal_notice)
      .Key("job")
      .BeginObject()
      .Field("number", s.job)
      .Field("command", s.command)
      .Field("kind", s.kind)
      .Field("state", s.outcome)
      .Field("total", s.total)
      .Field("sent", s.sent)
      .Field("acknowledged", s.acknowledged)
      .EndObject()
      .EndObject();
  return {200, json.text()};
}

ApiReply UiApi::SavedId() {
  const auto reply = link_.Ask("LOGIN", protocol::LoginRequest::kSavedIdBody, kCommandWait);
  if (!reply) return NoEngine();
  const std::vector<std::string> fields = SplitOn(*reply, kFieldSep);
  JsonWriter json;
  json.BeginObject()
      .Field("ok", true)
      .Field("id", fields.size() >= 2 ? ScreenText(fields[1]) : std::string())
      .EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Login(const ApiFields& fields, Language language) {
  const std::string id = Field(fields, "id");
  const std::string password = Field(fields, "password");
  JsonWriter json;
  json.BeginObject();
  if (id.empty() || password.empty()) {
    json.Field("ok", false).Field("error", Text(language, Msg::kLoginNeedsBoth)).EndObject();
    return {400, json.text()};
  }
  const std::string body =
      protocol::LoginRequest{id, password, Field(fields, "save") == "1"}.Build();
  if (protocol::LoginRequest::AsksSavedId(Utf8ToAnsi(body))) {
    json.Field("ok", false).Field("error", Text(language, Msg::kLoginTooShort)).EndObject();
    return {400, json.text()};
  }
  const auto reply = link_.Ask("LOGIN", body, kCommandWait);
  if (!reply) return NoEngine();
  // Accepted: "2", "1", six account fields, the engine directory, "".
  const std::vector<std::string> f = SplitOn(*reply, kFieldSep);
  AccountInfo info;
  if (f.size() >= 2 && f[0] == "2" && f[1] == "1" && AccountFromFields(f, 2, &info)) {
    json.Field("ok", true);
    WriteAccount(json, info, language);
    json.EndObject();
    return {200, json.text()};
  }
  json.Field("ok", false).Field("error", Text(language, Msg::kLoginRefused)).EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Logout() {
  if (!link_.Ask("ENDQX", "0", kCommandWait)) return NoEngine();
  return {200, R"({"ok":true})"};
}

ApiReply UiApi::Quit() {
  // The engine ends without a reply: the request is written and the wait cut short.
  link_.Ask("ENDQX", "1", 2s);
  return {200, R"({"ok":true})"};
}

ApiReply UiApi::Compose(const ApiFields& fields, Language language) {
  const SendOptions options = OptionsOf(fields, language);
  SendOptions checked;
  std::ostringstream out;
  std::ostringstream err;
  const bool ok = CheckSendRequest(options, &checked, out, err);
  const TextCheck text = CheckText(options.text, 0, options.limits, language);
  JsonWriter json;
  json.BeginObject()
      .Field("ok", ok)
      .Field("bytes", static_cast<int64_t>(text.bytes))
      .Field("kind", KindName(text.kind))
      .Field("limit", static_cast<int64_t>(text.limit))
      .Strings("recipients", checked.to)
      .Strings("summary", Lines(out.str()))
      .Strings("problems", Lines(err.str()))
      .EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Send(const ApiFields& fields, Language language) {
  const SendOptions options = OptionsOf(fields, language);
  SendOptions checked;
  std::ostringstream out;
  std::ostringstream err;
  JsonWriter json;
  json.BeginObject();
  if (!CheckSendRequest(options, &checked, out, err)) {
    json.Field("ok", false).Strings("problems", Lines(err.str())).EndObject();
    return {422, json.text()};
  }
  const int mode = SendMode(checked);
  const std::string count = std::to_string(checked.to.size());
  const auto check = link_.Ask(
      "DSEND", protocol::SendCheckRequest{count, std::to_string(mode), checked.reserve}.Build(),
      kCommandWait);
  if (!check) return NoEngine();
  // "QXSENDABLECHECK", the check's text (its own columns joined by "<QX>"), ...
  const std::vector<std::string> f = SplitOn(*check, kFieldSep);
  if (f.size() < 2 || f[0] != protocol::kSendCheckTag || f[1] != "1") {
    std::string reason;
    for (size_t i = 1; i < f.size() && i < 4; ++i) reason += (i > 1 ? " " : "") + ScreenText(f[i]);
    json.Field("ok", false)
        .Strings("problems", {Text(language, Msg::kCheckRefused, {reason})})
        .EndObject();
    return {200, json.text()};
  }
  const auto reply = link_.Ask("DSEND", SendBody(checked, mode), kSendWait);
  if (!reply) return NoEngine();
  const std::string text = reply->substr(0, reply->find(kFieldSep));
  EngineState state;
  const auto state_reply = link_.Ask("STATE", "", kCommandWait);
  const bool have_state = state_reply && ParseEngineState(*state_reply, &state);
  const std::string failure = have_state ? GatewayFailureText(state, language) : "";
  json.Field("ok", have_state && state.outcome == "done")
      .Field("text", failure.empty() ? AnsiToUtf8(text) : failure)
      .Field("outcome", have_state ? state.outcome : std::string())
      .Field("sent", state.sent)
      .Field("total", state.total);
  AccountInfo info;
  if (ParseAccountTail(*reply, &info)) WriteAccount(json, info, language);
  json.EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Cancel() {
  const auto reply = link_.Ask("CANCL", "", kCommandWait);
  if (!reply) return NoEngine();
  JsonWriter json;
  json.BeginObject().Field("ok", true).Field("asked", *reply == "1").EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Jobs() {
  const auto reply = link_.Ask("JOBLS", "50", kCommandWait);
  if (!reply) return NoEngine();
  const auto list = protocol::JobListReply::Parse(*reply);
  JsonWriter json;
  json.BeginObject().Field("ok", list.has_value()).Key("jobs").BeginArray();
  for (const protocol::JobRow& j : list ? list->jobs : std::vector<protocol::JobRow>{}) {
    json.BeginObject()
        .Field("id", j.id)
        .Field("started", j.started)
        .Field("kind", j.kind)
        .Field("title", AnsiToUtf8(j.title))
        .Field("source", AnsiToUtf8(j.source))
        .Field("total", j.total)
        .Field("acknowledged", j.acknowledged)
        .Field("in_doubt", j.in_doubt)
        .Field("not_sent", j.not_sent)
        .Field("ending", j.ending)
        .Field("report", j.report)
        .EndObject();
  }
  json.EndArray().EndObject();
  return {200, json.text()};
}

}  // namespace parley
