#include "ui/rules_api.h"

#include <chrono>
#include <sstream>
#include <vector>

#include "client/engine_refusal.h"
#include "client/rules_lists.h"
#include "protocol/markup.h"
#include "protocol/rules_messages.h"
#include "text/cp949.h"
#include "ui/json_writer.h"
#include "ui/ui_link.h"

namespace parley {
namespace {

constexpr auto kWait = std::chrono::seconds(30);

void WriteSettings(JsonWriter& json, const RulesData& rules) {
  json.Key("settings")
      .BeginObject()
      .Field("business_name", rules.business_name)
      .Field("optout_number", rules.optout_number)
      .Field("optout_applies", rules.optout_all ? "all" : "ad")
      .Field("own_number", rules.own_number)
      .EndObject()
      .Strings("callbacks", rules.callbacks);
}

// An engine refusal, or nullopt when the reply is none.
std::optional<ApiReply> RefusalOf(const std::string& reply) {
  if (!protocol::IsExceptionText(reply)) return std::nullopt;
  return Refused({EngineRefusalVerdict(reply)});
}

}  // namespace

std::optional<RulesData> FetchRules(UiLink& link) {
  const auto settings = link.Ask("SETGT", "", kWait);
  const auto callbacks = settings ? link.Ask("CBKLS", "", kWait) : std::nullopt;
  RulesData data;
  if (!settings || !callbacks || !ParseRulesData(*settings, *callbacks, &data)) return std::nullopt;
  return data;
}

ApiReply RulesApi::Settings() {
  const std::optional<RulesData> rules = FetchRules(link_);
  if (!rules) return NoEngine();
  JsonWriter json;
  json.BeginObject().Field("ok", true);
  WriteSettings(json, *rules);
  json.EndObject();
  return {200, json.text()};
}

ApiReply RulesApi::SetSetting(const ApiFields& fields) {
  const auto reply = link_.Ask(
      "SETPT", protocol::SettingRequest{Field(fields, "name"), Field(fields, "value")}.Build(),
      kWait);
  if (!reply) return NoEngine();
  if (auto refused = RefusalOf(*reply)) return *refused;
  return Settings();
}

ApiReply RulesApi::AddNumbers(const char* code, const std::string& numbers,
                              const std::string& note) {
  protocol::NumbersAddRequest request;
  request.numbers = protocol::NumberItems(numbers);
  request.note = note;
  const auto reply = link_.Ask(code, request.Build(), kWait);
  if (!reply) return NoEngine();
  if (auto refused = RefusalOf(*reply)) return *refused;
  const auto answer = protocol::NumbersAddReply::Parse(*reply);
  if (!answer) return Refused({EngineRefusalVerdict(*reply)});
  std::vector<Verdict> refused;
  for (const protocol::RefusedItem& item : answer->refused)
    refused.push_back(RefusedItemVerdict(item));
  JsonWriter json;
  json.BeginObject()
      .Field("ok", true)
      .Field("added", answer->added)
      .Field("already", answer->already);
  WriteVerdicts(json, "refused", refused);
  json.EndObject();
  return {200, json.text()};
}

ApiReply RulesApi::RemoveNumbers(const char* code, const std::string& numbers) {
  protocol::NumbersRemoveRequest request;
  request.numbers = protocol::NumberItems(numbers);
  const auto reply = link_.Ask(code, request.Build(), kWait);
  if (!reply) return NoEngine();
  if (auto refused = RefusalOf(*reply)) return *refused;
  const auto answer = protocol::NumbersRemoveReply::Parse(*reply);
  JsonWriter json;
  json.BeginObject()
      .Field("ok", answer.has_value())
      .Field("removed", answer ? answer->removed : 0)
      .Field("absent", answer ? answer->absent : 0)
      .EndObject();
  return {200, json.text()};
}

ApiReply RulesApi::AddCallbacks(const ApiFields& fields) {
  return AddNumbers("CBKAD", Field(fields, "numbers"), Field(fields, "label"));
}

ApiReply RulesApi::RemoveCallbacks(const ApiFields& fields) {
  return RemoveNumbers("CBKRM", Field(fields, "numbers"));
}

ApiReply RulesApi::OptOuts() {
  const auto reply = link_.Ask("OPTLS", "", kWait);
  if (!reply) return NoEngine();
  if (auto refused = RefusalOf(*reply)) return *refused;
  const auto list = protocol::NumberListReply::Parse(*reply, true);
  JsonWriter json;
  json.BeginObject().Field("ok", list.has_value()).Key("numbers").BeginArray();
  for (const protocol::ListedNumber& n :
       list ? list->entries : std::vector<protocol::ListedNumber>{}) {
    json.BeginObject()
        .Field("number", n.number)
        .Field("added", n.added)
        .Field("note", AnsiToUtf8(n.note))
        .EndObject();
  }
  json.EndArray().EndObject();
  return {200, json.text()};
}

ApiReply RulesApi::AddOptOuts(const ApiFields& fields) {
  return AddNumbers("OPTAD", Field(fields, "numbers"), Field(fields, "note"));
}

ApiReply RulesApi::RemoveOptOuts(const ApiFields& fields) {
  return RemoveNumbers("OPTRM", Field(fields, "numbers"));
}

ApiReply RulesApi::ImportOptOuts(const std::string& path) {
  // One number a line, or a workbook's first column; the engine checks each number.
  std::vector<std::string> items;
  if (auto unread = ItemsOfListFile(path, &items)) return Refused({*unread});
  std::string numbers;
  for (const std::string& item : items) numbers += item + "\n";
  return AddNumbers("OPTAD", numbers, "");
}

std::optional<std::string> RulesApi::ExportOptOuts(ApiReply* refused) {
  const auto reply = link_.Ask("OPTLS", "", kWait);
  if (!reply) {
    *refused = NoEngine();
    return std::nullopt;
  }
  const auto list = protocol::NumberListReply::Parse(*reply, true);
  if (!list) {
    *refused = Refused({EngineRefusalVerdict(*reply)});
    return std::nullopt;
  }
  // A byte order mark, so that spreadsheet programs read it as UTF-8.
  return "\xEF\xBB\xBF" + ListFileText(*list);
}

}  // namespace parley
