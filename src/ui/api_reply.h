// What every call of the page answers with: a status and JSON; the fields a call got; and the
// shapes shared by the calls: a verdict of the client core with its words in both of the page's
// languages, a refusal, the engine not answering.
#ifndef PARLEY_UI_API_REPLY_H_
#define PARLEY_UI_API_REPLY_H_

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "client/verdict.h"
#include "ui/json_writer.h"

namespace parley {

struct ApiReply {
  int status = 200;
  std::string json;
};

// A call's fields by name (UTF-8), as the page sent them.
using ApiFields = std::map<std::string, std::string>;

// The field's value; empty when it is missing.
std::string Field(const ApiFields& fields, const std::string& name);

// The engine did not answer (503).
ApiReply NoEngine();

// Words in both of the page's languages under key, so that switching needs no new request.
template <typename Say>
void WriteWords(JsonWriter& json, std::string_view key, const Say& say) {
  json.Key(key)
      .BeginObject()
      .Field("ko", say(Language::kKorean))
      .Field("en", say(Language::kEnglish))
      .EndObject();
}

// One verdict: its code, the item and where it stands (the page's number box names the line),
// and its words: {"code", "field", "item", "line", "position", "text": {"ko", "en"}, "where"}.
void WriteVerdict(JsonWriter& json, const Verdict& v);
void WriteVerdicts(JsonWriter& json, std::string_view key, const std::vector<Verdict>& verdicts);

// A refused call: {"ok": false, "problems": [verdicts]}.
ApiReply Refused(const std::vector<Verdict>& problems, int status = 422);

// A call the page should not have made as it stands (a check it skipped): the problem by code.
ApiReply RefusedCode(std::string_view code, int status = 422);

}  // namespace parley

#endif  // PARLEY_UI_API_REPLY_H_
