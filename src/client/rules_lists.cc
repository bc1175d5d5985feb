#include "client/rules_lists.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <sqlite3.h>

#include "excel/workbook_loader.h"
#include "text/cp949.h"

namespace parley {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

bool HasDigit(const std::string& text) {
  return text.find_first_of("0123456789") != std::string::npos;
}

// The first field of a CSV line: up to the first comma, or a quoted field without its quotes.
std::string FirstField(const std::string& line) {
  if (!line.starts_with("\"")) return line.substr(0, line.find(','));
  std::string field;
  for (size_t i = 1; i < line.size(); ++i) {
    if (line[i] == '"') {
      if (i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
        continue;
      }
      break;
    }
    field += line[i];
  }
  return field;
}

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// A number cell reads back without the leading zero of a Korean number, maybe with ".0".
std::string NumberCell(std::string text) {
  if (text.ends_with(".0")) text.resize(text.size() - 2);
  const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  if (digits && text[0] != '0' && (text.size() == 9 || text.size() == 10)) text.insert(0, "0");
  return text;
}

// The first column of the first sheet of a workbook, its heading (the column's name) first.
bool FirstColumn(const std::string& path, std::vector<std::string>* cells, std::string* error) {
  std::shared_ptr<sqlite3> db = LoadWorkbook(path, error);
  if (!db) return false;
  sqlite3_stmt* stmt = nullptr;
  std::string table;
  if (sqlite3_prepare_v2(db.get(),
                         "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid "
                         "LIMIT 1",
                         -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    table = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  }
  sqlite3_finalize(stmt);
  stmt = nullptr;
  std::string quoted = "\"";
  for (char c : table) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  quoted += "\"";
  if (table.empty() || sqlite3_prepare_v2(db.get(), ("SELECT * FROM " + quoted).c_str(), -1, &stmt,
                                          nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return true;  // no sheet: no numbers
  }
  if (sqlite3_column_count(stmt) >= 1) {
    cells->push_back(NumberCell(sqlite3_column_name(stmt, 0)));
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(stmt, 0);
      cells->push_back(NumberCell(text ? reinterpret_cast<const char*>(text) : ""));
    }
  }
  sqlite3_finalize(stmt);
  return true;
}

}  // namespace

Verdict RefusedItemVerdict(const protocol::RefusedItem& refused) {
  const std::string item = AnsiToUtf8(refused.item);
  Msg code = Msg::kNumberNotDigits;
  if (refused.problem == "empty") code = Msg::kNumberEmpty;
  if (refused.problem == "not-mobile") code = Msg::kNumberNotMobile;
  if (refused.problem == "not-callback") code = Msg::kNumberNotCallback;
  return {code, {item}, {}, item};
}

Verdict AddedVerdict(const protocol::NumbersAddReply& reply) {
  return {Msg::kListAdded, {std::to_string(reply.added), std::to_string(reply.already)}};
}

Verdict RemovedVerdict(const protocol::NumbersRemoveReply& reply) {
  return {Msg::kListRemoved, {std::to_string(reply.removed), std::to_string(reply.absent)}};
}

std::string OptOutCheckBody(const SendOptions& checked) {
  auto joined = [](const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ",") + item;
    return out;
  };
  return protocol::OptOutCheckRequest{checked.advert, joined(checked.groups), joined(checked.to)}
      .Build();
}

Verdict OptOutVerdict(const protocol::OptOutCheckReply& reply) {
  if (reply.recipients > 0 && reply.opted_out >= reply.recipients) {
    return {Msg::kAllOptedOut, {std::to_string(reply.opted_out)}, kFieldTo};
  }
  return {Msg::kOptedOutLeftOut, {std::to_string(reply.opted_out)}, kFieldTo};
}

std::optional<Verdict> ItemsOfListFile(const std::string& path, std::vector<std::string>* items) {
  const std::string ext = Lower(std::filesystem::path(path).extension().string());
  std::vector<std::string> cells;
  if (ext == ".xlsx" || ext == ".xls" || ext == ".ods") {
    std::string error;
    if (!FirstColumn(path, &cells, &error)) {
      return Verdict{Msg::kWorkbookUnreadable, {path, error}, kFieldToFile, path};
    }
  } else {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Verdict{Msg::kFileUnreadable, {path}, kFieldToFile, path};
    for (std::string line; std::getline(in, line);) cells.push_back(FirstField(line));
    if (!cells.empty() && cells[0].starts_with("\xEF\xBB\xBF")) cells[0].erase(0, 3);
  }
  bool first = true;
  for (const std::string& cell : cells) {
    const std::string item = Trimmed(cell);
    const bool heading = first && !HasDigit(item);
    first = false;
    if (!item.empty() && !heading) items->push_back(item);
  }
  if (items->empty()) return Verdict{Msg::kListFileEmpty, {path}, kFieldToFile, path};
  return std::nullopt;
}

std::string ListFileText(const protocol::NumberListReply& list) {
  std::string text;
  for (const protocol::ListedNumber& entry : list.entries) {
    text += entry.number;
    if (!entry.note.empty()) text += "," + CsvField(AnsiToUtf8(entry.note));
    text += "\n";
  }
  return text;
}

}  // namespace parley
