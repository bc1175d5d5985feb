#include "qx/reply_text.h"

#include <ostream>

#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {

std::vector<std::string> SplitOn(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  for (;;) {
    const size_t at = text.find(separator);
    if (at == std::string_view::npos) break;
    pieces.emplace_back(text.substr(0, at));
    text.remove_prefix(at + separator.size());
  }
  pieces.emplace_back(text);
  return pieces;
}

std::string AfterField(std::string_view text, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const size_t at = text.find(kFieldSep);
    if (at == std::string_view::npos) return "";
    text.remove_prefix(at + kFieldSep.size());
  }
  return std::string(text);
}

std::string ScreenText(std::string_view cp949) {
  std::string text(cp949);
  text = Replaced(text, "\r\n", " ");
  text = Replaced(text, "\n", " ");
  text = Replaced(text, "\r", " ");
  text = Replaced(text, "&comma;", ",");
  text = Replaced(text, "&lt;", "<");
  text = Replaced(text, "&gt;", ">");
  text = Replaced(text, "&gacct;", "`");
  return AnsiToUtf8(text);
}

bool AccountFromFields(const std::vector<std::string>& fields, size_t first, AccountInfo* info) {
  if (first + 6 > fields.size()) return false;
  info->name = ScreenText(fields[first]);
  info->grade = ScreenText(fields[first + 1]);
  info->amount = ScreenText(fields[first + 2]);
  info->sms_left = ScreenText(fields[first + 3]);
  info->lms_left = ScreenText(fields[first + 4]);
  info->mms_left = ScreenText(fields[first + 5]);
  return true;
}

bool ParseAccountTail(std::string_view body, AccountInfo* info) {
  std::vector<std::string> fields = SplitOn(body, kFieldSep);
  return fields.size() > 6 && AccountFromFields(fields, fields.size() - 6, info);
}

void PrintAccount(const AccountInfo& info, Language language, std::ostream& out) {
  out << Text(language, Msg::kAccount,
              {info.name, info.grade, FormatAmount(language, info.amount), info.sms_left,
               info.lms_left, info.mms_left})
      << "\n";
}

}  // namespace parley
