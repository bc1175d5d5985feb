#include "client/send_input.h"

#include <sqlite3.h>

#include <fstream>
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
    const ItemSource source{kFieldTo, value.substr(0, cut) + (cut < value.size() ? "..." : "")};
    for (ListItem& item : SplitNumberList(value)) items.push_back({std::move(item), source});
  }
  return items;
}

std::optional<Verdict> ItemsOfFile(const std::string& path, const std::string& column,
                                   std::vector<SourcedItem>* items) {
  if (column.empty()) {
    std::string text;
    if (!ReadWhole(path, &text)) return Verdict{Msg::kFileUnreadable, {path}, kFieldToFile, path};
    const ItemSource source{kFieldToFile, path};
    for (ListItem& item : SplitNumberList(text)) items->push_back({std::move(item), source});
    return std::nullopt;
  }
  std::vector<std::string> cells;
  std::string error;
  if (!ColumnCells(path, column, &cells, &error)) {
    if (error.empty()) return Verdict{Msg::kCsvNoColumn, {column, path}, kFieldToFile, path};
    return Verdict{Msg::kWorkbookUnreadable, {path, error}, kFieldToFile, path};
  }
  const ItemSource source{kFieldToFile, path, true};
  for (size_t i = 0; i < cells.size(); ++i) {
    const int row = static_cast<int>(i) + 2;  // row 1 is the heading
    if (cells[i].find_first_not_of(" \t") == std::string::npos) continue;
    items->push_back({ListItem{cells[i], row, 1}, source});
  }
  return std::nullopt;
}

std::optional<Verdict> ReadTextFile(const std::string& path, std::string* text) {
  if (!ReadWhole(path, text)) return Verdict{Msg::kFileUnreadable, {path}, kFieldText, path};
  while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) text->pop_back();
  return std::nullopt;
}

}  // namespace parley
