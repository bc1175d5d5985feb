#include "client/reply_fields.h"

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

std::vector<std::vector<std::string>> WebRows(std::string_view cp949) {
  std::vector<std::vector<std::string>> rows;
  if (cp949.empty()) return rows;
  for (const std::string& row : SplitOn(cp949, "<BR>")) {
    std::vector<std::string> cells;
    for (const std::string& cell : SplitOn(row, "<COL>")) cells.push_back(ScreenText(cell));
    rows.push_back(std::move(cells));
  }
  return rows;
}

}  // namespace parley
