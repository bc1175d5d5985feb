#include "ui/api_reply.h"

namespace parley {

std::string Field(const ApiFields& fields, const std::string& name) {
  const auto it = fields.find(name);
  return it == fields.end() ? std::string() : it->second;
}

ApiReply NoEngine() {
  JsonWriter json;
  json.BeginObject().Field("ok", false).Field("error", "the engine does not answer").EndObject();
  return {503, json.text()};
}

// One verdict: its code, the item and where it stands (the page's number box names the line),
// and its words.
void WriteVerdict(JsonWriter& json, const Verdict& v) {
  json.BeginObject()
      .Field("code", MsgKey(v.code))
      .Field("field", v.field)
      .Field("item", v.item)
      .Field("line", static_cast<int64_t>(v.line))
      .Field("position", static_cast<int64_t>(v.position));
  WriteWords(json, "text", [&](Language l) { return Word(l, v); });
  if (v.field == kFieldTo && v.line > 0) {
    WriteWords(json, "where",
               [&](Language l) { return Text(l, Msg::kWhereLine, {std::to_string(v.line)}); });
  }
  json.EndObject();
}

void WriteVerdicts(JsonWriter& json, std::string_view key, const std::vector<Verdict>& verdicts) {
  json.Key(key).BeginArray();
  for (const Verdict& v : verdicts) WriteVerdict(json, v);
  json.EndArray();
}

// A refused call: its verdicts.
ApiReply Refused(const std::vector<Verdict>& problems, int status) {
  JsonWriter json;
  json.BeginObject().Field("ok", false);
  WriteVerdicts(json, "problems", problems);
  json.EndObject();
  return {status, json.text()};
}

// A call the page should not have made as it stands (a check it skipped): the problem by code.
ApiReply RefusedCode(std::string_view code, int status) {
  JsonWriter json;
  json.BeginObject().Field("ok", false).Field("error", code).EndObject();
  return {status, json.text()};
}

}  // namespace parley
