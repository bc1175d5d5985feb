#include "client/engine_refusal.h"

#include <regex>
#include <string>

#include "client/reply_fields.h"
#include "protocol/markup.h"

namespace parley {
namespace {

// The text after prefix when text starts with it.
bool After(std::string_view text, std::string_view prefix, std::string* rest) {
  if (!text.starts_with(prefix)) return false;
  *rest = std::string(text.substr(prefix.size()));
  return true;
}

// A sheet's table name as the user knows the sheet: without its "$" (and quotes).
std::string SheetName(std::string name) {
  if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') {
    name = name.substr(1, name.size() - 2);
  }
  if (name.ends_with('$')) name.pop_back();
  return name;
}

}  // namespace

Verdict EngineRefusalVerdict(std::string_view cp949) {
  std::string_view inner = cp949;
  if (protocol::IsExceptionText(inner)) inner = inner.substr(11, inner.size() - 12);
  const std::string text = ScreenText(inner);
  std::string rest;
  if (After(text, "no such table: ", &rest)) return {Msg::kEngineNoSheet, {SheetName(rest)}};
  if (After(text, "no such column: ", &rest)) return {Msg::kEngineNoColumn, {rest}};
  if (After(text, "the workbook is over its load limit: more than ", &rest)) {
    return {Msg::kEngineWorkbookTooLarge, {rest}};
  }
  if (text.starts_with("not a workbook") || text.starts_with("not an ods workbook") ||
      text == "the workbook cannot be read") {
    return {Msg::kEngineNotWorkbook};
  }
  if (text == "no workbook was given") return {Msg::kEngineNoWorkbook};
  if (text == "the engine is stopping") return {Msg::kEngineStopping};
  // The journal's refusals.
  std::smatch m;
  if (text == "not logged in") return {Msg::kNotLoggedIn};
  if (std::regex_match(text, m, std::regex(R"(no job (\d+) in the send journal)"))) {
    return {Msg::kEngineNoJob, {m[1]}};
  }
  if (std::regex_match(text, m, std::regex(R"(job (\d+) is still running)"))) {
    return {Msg::kEngineJobRunning, {m[1]}};
  }
  if (std::regex_match(text, m, std::regex(R"(the rest of job (\d+) was sent as job (\d+);.*)"))) {
    return {Msg::kJobAlreadyResent, {m[1], m[2]}};
  }
  if (std::regex_match(text, m, std::regex(R"(cannot write (.*): (.*))"))) {
    return {Msg::kEngineCannotWrite, {m[1], m[2]}};
  }
  // The sending rules' lists and settings.
  if (text == "the address book cannot be written") return {Msg::kEngineBookNotWritten};
  if (std::regex_match(text, m, std::regex(R"(unknown setting (\S*) \(.*\))"))) {
    return {Msg::kSettingUnknown, {m[1]}};
  }
  if (text == "optout_applies is ad or all") return {Msg::kSettingAppliesValue};
  if (text == "own_number must be a mobile number") return {Msg::kSettingOwnNumber};
  if (text == "optout_number must be an 080 number") return {Msg::kSettingOptOutNumber};
  for (std::string_view prefix : {"cannot open ", "cannot read "}) {
    if (After(text, prefix, &rest)) {
      const size_t colon = rest.rfind(": ");
      if (colon == std::string::npos) return {Msg::kEngineFileUnreadable, {rest, ""}};
      return {Msg::kEngineFileUnreadable, {rest.substr(0, colon), rest.substr(colon + 2)}};
    }
  }
  return {Msg::kEngineRefusedOther, {text}};
}

}  // namespace parley
