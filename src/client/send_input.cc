#include "client/send_input.h"

#include <sqlite3.h>

#include <fstream>
#include <ostream>
#include <sstream>

#include "db/sql_text.h"
#include "excel/workbook_loader.h"

namespace parley {
namespace {

bool ReadWhole(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  *text = all.str();
  return !in.bad();
}

// The cells of `column` in the first sheet of a workbook, in row order (NULL cells as "").
bool ColumnCells(const std::string& path, const std::string& column,
                 std::vector<std::string>* cells, std::string* error) {
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
  const std::string sql = "SELECT " + QuoteIdentifier(column) + " FROM " + QuoteIdentifier(table);
  if (table.empty() || sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return false;
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(stmt, 0);
    cells->push_back(text ? reinterpret_cast<const char*>(text) : "");
  }
  sqlite3_finalize(stmt);
  return true;
}

}  // namespace

std::vector<SourcedItem> ItemsOfToOptions(const std::vector<std::string>& values) {
  // A long list is quoted by its start: every item carries its own copy of the quote.
  constexpr size_t kQuotedBytes = 40;
  std::vector<SourcedItem> items;
  for (const std::string& value : values) {
    size_t cut = value.size();
    if (cut > kQuotedBytes) {
      cut = kQuotedBytes;
      while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
    }
    const std::string quote =
        "--to \"" + value.substr(0, cut) + (cut < value.size() ? "...\"" : "\"");
    for (ListItem& item : SplitNumberList(value)) {
      const std::string where = quote + " item " + std::to_string(item.item);
      items.push_back({std::move(item), where});
    }
  }
  return items;
}

bool ItemsOfFile(const std::string& path, const std::string& column,
                 std::vector<SourcedItem>* items, Language language, std::ostream& err) {
  if (column.empty()) {
    std::string text;
    if (!ReadWhole(path, &text)) {
      err << Text(language, Msg::kFileUnreadable, {path}) << "\n";
      return false;
    }
    for (ListItem& item : SplitNumberList(text)) {
      const std::string where = path + " line " + std::to_string(item.line);
      items->push_back({std::move(item), where});
    }
    return true;
  }
  std::vector<std::string> cells;
  std::string error;
  if (!ColumnCells(path, column, &cells, &error)) {
    err << (error.empty() ? Text(language, Msg::kCsvNoColumn, {column, path}) : error) << "\n";
    return false;
  }
  for (size_t i = 0; i < cells.size(); ++i) {
    const int row = static_cast<int>(i) + 2;  // row 1 is the heading
    if (cells[i].find_first_not_of(" \t") == std::string::npos) continue;
    items->push_back({ListItem{cells[i], row, 1}, path + " row " + std::to_string(row)});
  }
  return true;
}

bool ReadTextFile(const std::string& path, std::string* text, Language language,
                  std::ostream& err) {
  if (!ReadWhole(path, text)) {
    err << Text(language, Msg::kFileUnreadable, {path}) << "\n";
    return false;
  }
  while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) text->pop_back();
  return true;
}

}  // namespace parley
