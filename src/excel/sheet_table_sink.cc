#include "excel/sheet_table_sink.h"

#include <spdlog/spdlog.h>
#include <sqlite3.h>

#include <algorithm>
#include <utility>

#include "db/sql_text.h"
#include "text/cp949.h"

namespace parley {
namespace {

// SQLite compares identifiers with ASCII case folding only.
std::string FoldCase(std::string_view name) {
  std::string key(name);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

// value cut to at most limit bytes without splitting a UTF-8 sequence.
std::string_view CutUtf8(std::string_view value, size_t limit) {
  if (value.size() <= limit) return value;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) --end;
  return value.substr(0, end);
}

// The name a sheet or column is stored under: as the engine's text (CP949) holds it, a character
// outside it being "?", for the engine names tables and columns in that text and could never
// reach one it cannot write; and without NUL, which would end the SQL text early.
std::string StoredName(std::string_view name) {
  std::string out = AnsiToUtf8(Utf8ToAnsi(name));
  out.erase(std::remove(out.begin(), out.end(), '\0'), out.end());
  return out;
}

std::string GeneratedName(uint32_t column) { return "F" + std::to_string(column + 1); }

}  // namespace

SheetTableSink::SheetTableSink(sqlite3* db, LoadBudget& budget)
    : db_(db),
      budget_(budget),
      max_columns_(budget.limits().stored_columns),
      max_cell_bytes_(budget.limits().cell_bytes) {}

SheetTableSink::~SheetTableSink() {
  sqlite3_finalize(insert_);
  if (in_sheet_ && !skip_sheet_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool SheetTableSink::Fail(std::string message) {
  error_ = std::move(message);
  return false;
}

bool SheetTableSink::Charge(uint64_t cells, uint64_t bytes) {
  return budget_.ChargeStored(cells, bytes) || Fail(budget_.reason());
}

bool SheetTableSink::Exec(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  std::string reason = message != nullptr ? message : sqlite3_errmsg(db_);
  sqlite3_free(message);
  return Fail(reason);
}

bool SheetTableSink::BeginSheet(std::string_view name) {
  if (in_sheet_) return Fail("a sheet was begun inside another");
  in_sheet_ = true;
  table_created_ = false;
  table_ = StoredName(name) + "$";
  header_.clear();
  columns_.clear();
  column_keys_.clear();
  row_ = -1;
  header_row_ = -1;
  base_ = -1;
  used_end_ = 0;
  widened_ = false;
  values_.clear();
  filled_.clear();
  has_value_.clear();
  std::string key = FoldCase(table_);
  // SQLite keeps names starting with "sqlite_" for itself.
  skip_sheet_ = table_keys_.count(key) != 0 || key.rfind("sqlite_", 0) == 0;
  if (skip_sheet_) {
    spdlog::warn("workbook: sheet \"{}\" skipped, its name is taken",
                 table_.substr(0, table_.size() - 1));
    return true;
  }
  if (!budget_.ChargeSheet()) return Fail(budget_.reason());
  return Charge(0, table_.size()) && Exec("BEGIN");
}

bool SheetTableSink::Cell(uint32_t row, uint32_t column, std::string_view value) {
  if (!in_sheet_) return Fail("a cell came outside a sheet");
  if (skip_sheet_ || value.empty()) return true;
  if (base_ < 0) base_ = column;
  if (column < base_) {
    // A later row reaches further left: the sheet's columns begin there. Cells of a row ascend,
    // so the row gathered so far is finished.
    if (!FlushRow() || !ShiftRight(static_cast<uint32_t>(base_ - column))) return false;
  }
  column -= static_cast<uint32_t>(base_);
  // Right of the columns read: not stored, but counted, so that no file hands on cells forever.
  if (column >= max_columns_) return Charge(1, 0);
  value = CutUtf8(value, max_cell_bytes_);
  if (header_row_ < 0) header_row_ = row;
  if (row == header_row_) {
    if (header_.size() <= column) header_.resize(column + 1);
    header_[column].assign(value);
    return Charge(1, value.size());
  }
  if (row_ != static_cast<int64_t>(row)) {
    if (!FlushRow()) return false;
    row_ = row;
  }
  if (!table_created_ && !CreateTable()) return false;
  if (column >= columns_.size() && !WidenColumns()) return false;
  used_end_ = std::max(used_end_, column + 1);
  if (!has_value_[column]) {
    has_value_[column] = true;
    filled_.push_back(column);
  }
  values_[column].assign(value);
  return true;
}

bool SheetTableSink::EndSheet() {
  if (!in_sheet_) return Fail("a sheet was ended that was not begun");
  if (skip_sheet_) {
    in_sheet_ = false;
    return true;
  }
  if (!FlushRow()) return false;
  if (!table_created_ && !CreateTable()) return false;
  sqlite3_finalize(insert_);
  insert_ = nullptr;
  if (!TrimColumns()) return false;
  if (!Exec("COMMIT")) return false;
  in_sheet_ = false;
  tables_.push_back(table_);
  table_keys_.insert(FoldCase(table_));
  return true;
}

bool SheetTableSink::Finish() {
  for (const std::string& table : tables_) {
    if (table.find(' ') == std::string::npos) continue;
    std::string view = "'" + table + "'";
    if (table_keys_.count(FoldCase(view)) != 0) continue;
    if (!Exec("CREATE VIEW " + QuoteIdentifier(view) + " AS SELECT * FROM " +
              QuoteIdentifier(table))) {
      return false;
    }
    table_keys_.insert(FoldCase(view));
  }
  return true;
}

std::string SheetTableSink::UniqueColumnName(const std::string& wanted, uint32_t column) {
  std::string name = wanted.empty() ? GeneratedName(column) : StoredName(wanted);
  if (column_keys_.count(FoldCase(name)) == 0) return name;
  std::string base = GeneratedName(column);
  name = base;
  for (int suffix = 2; column_keys_.count(FoldCase(name)) != 0; ++suffix) {
    name = base + "_" + std::to_string(suffix);
  }
  return name;
}

bool SheetTableSink::CreateTable() {
  size_t count = std::max<size_t>(header_.size(), 1);
  std::string sql = "CREATE TABLE " + QuoteIdentifier(table_) + " (";
  for (uint32_t column = 0; column < count; ++column) {
    std::string name = UniqueColumnName(column < header_.size() ? header_[column] : "", column);
    column_keys_.insert(FoldCase(name));
    if (column > 0) sql += ", ";
    sql += QuoteIdentifier(name) + " TEXT COLLATE NOCASE";
    columns_.push_back(std::move(name));
  }
  sql += ")";
  if (!Exec(sql)) return false;
  table_created_ = true;
  values_.resize(columns_.size());
  has_value_.resize(columns_.size());
  return true;
}

bool SheetTableSink::WidenColumns() {
  // Adding a column makes SQLite parse the whole schema again; one rebuild to the full width
  // costs a few such parses where adding the columns one by one cost one each.
  sqlite3_finalize(insert_);
  insert_ = nullptr;
  widened_ = true;
  return Rebuild(0, max_columns_);
}

bool SheetTableSink::ShiftRight(uint32_t shift) {
  base_ -= shift;
  const uint32_t kept = max_columns_ - std::min(shift, max_columns_);
  if (header_.size() > kept) header_.resize(kept);
  header_.insert(header_.begin(), std::min(shift, max_columns_), std::string());
  while (!header_.empty() && header_.back().empty()) header_.pop_back();
  used_end_ = std::min(used_end_ + std::min(shift, max_columns_), max_columns_);
  if (!table_created_) return true;
  sqlite3_finalize(insert_);
  insert_ = nullptr;
  widened_ = true;  // the finished table is trimmed to the columns used
  const uint32_t width = widened_ ? max_columns_
                                  : static_cast<uint32_t>(std::min<uint64_t>(
                                        uint64_t{columns_.size()} + shift, max_columns_));
  return Rebuild(-int64_t{shift}, width);
}

bool SheetTableSink::TrimColumns() {
  if (!widened_) return true;
  const uint32_t end = std::max<uint32_t>({static_cast<uint32_t>(header_.size()), 1, used_end_});
  if (end == columns_.size()) return true;
  return Rebuild(0, end);
}

bool SheetTableSink::Rebuild(int64_t offset, uint32_t width) {
  // The rows wait in a temporary table while the table is made again under its own name: renaming
  // a table would make SQLite parse every table's schema again, so that many sheets rebuilt one
  // after another would cost time growing with the square of their number.
  const std::vector<std::string> old = std::move(columns_);
  columns_.clear();
  column_keys_.clear();
  std::string create = "CREATE TABLE " + QuoteIdentifier(table_) + " (";
  std::string names;
  std::string select;
  std::string any_value;  // the condition that a row keeps a value
  for (uint32_t i = 0; i < width; ++i) {
    std::string name = UniqueColumnName(i < header_.size() ? header_[i] : "", i);
    column_keys_.insert(FoldCase(name));
    if (i > 0) create += ", ";
    create += QuoteIdentifier(name) + " TEXT COLLATE NOCASE";
    const int64_t column = offset + i;
    if (column >= 0 && column < static_cast<int64_t>(old.size())) {
      if (!names.empty()) names += ", ", select += ", ";
      names += QuoteIdentifier(name);
      select += QuoteIdentifier(old[static_cast<size_t>(column)]);
      any_value += (any_value.empty() ? "" : " OR ") +
                   QuoteIdentifier(old[static_cast<size_t>(column)]) + " IS NOT NULL";
    }
    columns_.push_back(std::move(name));
  }
  create += ")";
  values_.resize(columns_.size());
  has_value_.resize(columns_.size());
  if (names.empty()) {  // every value moved out of the columns read
    return Exec("DROP TABLE main." + QuoteIdentifier(table_)) && Exec(create);
  }
  // Columns dropped off the right can leave rows without a value, which are not rows of a sheet.
  const std::string where = offset < 0 ? " WHERE " + any_value : "";
  return Exec("CREATE TEMP TABLE rebuilding AS SELECT " + select + " FROM " +
              QuoteIdentifier(table_) + where) &&
         Exec("DROP TABLE main." + QuoteIdentifier(table_)) && Exec(create) &&
         Exec("INSERT INTO main." + QuoteIdentifier(table_) + " (" + names +
              ") SELECT * FROM temp.rebuilding") &&
         Exec("DROP TABLE temp.rebuilding");
}

bool SheetTableSink::FlushRow() {
  if (filled_.empty()) return true;
  if (insert_ == nullptr) {
    std::string sql = "INSERT INTO " + QuoteIdentifier(table_) + " VALUES (?";
    for (size_t i = 1; i < columns_.size(); ++i) sql += ",?";
    sql += ")";
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &insert_, nullptr) !=
        SQLITE_OK) {
      return Fail(sqlite3_errmsg(db_));
    }
  }
  uint64_t bytes = columns_.size();
  for (uint32_t column : filled_) bytes += values_[column].size();
  if (!Charge(filled_.size(), bytes)) return false;
  // Unfilled columns keep the NULL that sqlite3_clear_bindings leaves.
  for (uint32_t column : filled_) {
    const std::string& value = values_[column];
    sqlite3_bind_text(insert_, static_cast<int>(column) + 1, value.data(),
                      static_cast<int>(value.size()), SQLITE_STATIC);
  }
  int rc = sqlite3_step(insert_);
  sqlite3_reset(insert_);
  sqlite3_clear_bindings(insert_);
  for (uint32_t column : filled_) has_value_[column] = false;
  filled_.clear();
  if (rc != SQLITE_DONE) return Fail(sqlite3_errmsg(db_));
  return true;
}

}  // namespace parley
