// The page's side of Korea's sending rules: the settings (business name, free opt-out number,
// whom the opt-out list covers, the user's own number), the registered callback numbers and the
// opt-out list, each through the engine's commands; and the rules' data a send is planned with.
#ifndef PARLEY_UI_RULES_API_H_
#define PARLEY_UI_RULES_API_H_

#include <optional>
#include <string>

#include "client/send_rules.h"
#include "ui/api_reply.h"

namespace parley {

class UiLink;

// The rules' data from the engine (SETGT, CBKLS); nullopt when it does not answer.
std::optional<RulesData> FetchRules(UiLink& link);

class RulesApi {
 public:
  explicit RulesApi(UiLink& link) : link_(link) {}

  // The settings and the registered callbacks.
  ApiReply Settings();
  // One setting changed (name, value; an empty value clears it); the settings after it.
  ApiReply SetSetting(const ApiFields& fields);
  // Registered callbacks added (numbers, label) or removed (numbers).
  ApiReply AddCallbacks(const ApiFields& fields);
  ApiReply RemoveCallbacks(const ApiFields& fields);
  // The opt-out list: its numbers with when each was added and its note.
  ApiReply OptOuts();
  // Numbers added to the list (numbers, note) or removed (numbers); from an uploaded file (one
  // number a line, or the first column of a workbook).
  ApiReply AddOptOuts(const ApiFields& fields);
  ApiReply RemoveOptOuts(const ApiFields& fields);
  ApiReply ImportOptOuts(const std::string& path);
  // The list as CSV ("number,note" lines); nullopt with *refused set.
  std::optional<std::string> ExportOptOuts(ApiReply* refused);

 private:
  // Adds numbers with code (OPTAD or CBKAD): how many were added and each refused item.
  ApiReply AddNumbers(const char* code, const std::string& numbers, const std::string& note);
  ApiReply RemoveNumbers(const char* code, const std::string& numbers);

  UiLink& link_;
};

}  // namespace parley

#endif  // PARLEY_UI_RULES_API_H_
