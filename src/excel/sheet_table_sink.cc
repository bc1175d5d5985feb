#include "excel/sheet_table_sink.h"

#include <spdlog/spdlog.h>
#include <sqlite3.h>

#include <algorithm>
#include <utility>

#include "db/sql_text.h"
#include "excel/sheet_tables.h"
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
      max_cell_bytes_(std::min<size_t>(budget.limits().cell_bytes, ColumnText::kBlockBytes)) {
  sheet_tables_ = SheetTables::Register(db, &error_);
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
  if (sheet_tables_ == nullptr) return false;  // error_ says why
  if (in_sheet_) return Fail("a sheet was begun inside another");
  in_sheet_ = true;
  table_ = StoredName(name) + "$";
  header_.clear();
  column_keys_.clear();
  sheet_ = std::make_unique<StoredSheet>();
  row_ = -1;
  row_cells_ = 0;
  row_bytes_ = 0;
  header_row_ = -1;
  base_ = -1;
  used_end_ = 0;
  std::string key = FoldCase(table_);
  // SQLite keeps names starting with "sqlite_" for itself.
  skip_sheet_ = table_keys_.count(key) != 0 || key.rfind("sqlite_", 0) == 0;
  if (skip_sheet_) {
    spdlog::warn("workbook: sheet \"{}\" skipped, its name is taken",
                 table_.substr(0, table_.size() - 1));
    return true;
  }
  if (!budget_.ChargeSheet()) return Fail(budget_.reason());
  return Charge(0, table_.size());
}

bool SheetTableSink::Cell(uint32_t row, uint32_t column, std::string_view value) {
  if (!in_sheet_) return Fail("a cell came outside a sheet");
  if (skip_sheet_ || value.empty()) return true;
  if (base_ < 0) base_ = column;
  if (column < base_) {
    // A later row reaches further left: the sheet's columns begin there. Cells of a row ascend,
    // so the row gathered so far is finished.
    if (!ChargeRow() || !ShiftRight(static_cast<uint32_t>(base_ - column))) return false;
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
    if (!ChargeRow()) return false;
    row_ = row;
    ++sheet_->rows;
  }
  std::vector<ColumnText>& columns = sheet_->columns;
  if (column >= columns.size()) columns.resize(column + 1);
  used_end_ = std::max(used_end_, column + 1);
  const int64_t slots = columns[column].Set(sheet_->rows - 1, value);
  if (slots < 0) return Fail("a column holds more than 4 GiB of text");
  ++row_cells_;
  row_bytes_ += value.size() + static_cast<uint64_t>(slots) * kSlotBytes;
  return true;
}

bool SheetTableSink::ChargeRow() {
  const bool ok = row_cells_ == 0 || Charge(row_cells_, row_bytes_);
  row_cells_ = 0;
  row_bytes_ = 0;
  return ok;
}

bool SheetTableSink::EndSheet() {
  if (!in_sheet_) return Fail("a sheet was ended that was not begun");
  in_sheet_ = false;
  if (skip_sheet_) return true;
  if (!ChargeRow()) return false;
  const uint32_t width = std::max<uint32_t>({static_cast<uint32_t>(header_.size()), 1, used_end_});
  sheet_->columns.resize(width);
  for (uint32_t column = 0; column < width; ++column) {
    std::string name = UniqueColumnName(column < header_.size() ? header_[column] : "", column);
    column_keys_.insert(FoldCase(name));
    sheet_->names.push_back(std::move(name));
  }
  if (!sheet_tables_->Create(table_, std::move(sheet_), &error_)) return false;
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

bool SheetTableSink::ShiftRight(uint32_t shift) {
  base_ -= shift;
  shift = std::min(shift, max_columns_);
  const uint32_t kept = max_columns_ - shift;
  if (header_.size() > kept) header_.resize(kept);
  header_.insert(header_.begin(), shift, std::string());
  while (!header_.empty() && header_.back().empty()) header_.pop_back();
  used_end_ = std::min(used_end_ + shift, max_columns_);
  std::vector<ColumnText>& old = sheet_->columns;
  if (old.empty()) return true;  // no row stored yet
  const bool drops = old.size() > kept;
  std::vector<ColumnText> moved(shift);
  for (uint32_t i = 0; i < old.size() && i < kept; ++i) moved.push_back(std::move(old[i]));
  if (!drops) {
    old = std::move(moved);
    return true;
  }
  // Columns dropped off the right can leave rows without a value, which are not rows of a sheet:
  // the rows left are copied, renumbered.
  std::vector<ColumnText> compact(moved.size());
  uint32_t rows = 0;
  for (uint32_t row = 0; row < sheet_->rows; ++row) {
    const bool any = std::any_of(moved.begin(), moved.end(), [row](const ColumnText& column) {
      return column.Get(row).data() != nullptr;
    });
    if (!any) continue;
    for (size_t c = 0; c < moved.size(); ++c) {
      const std::string_view value = moved[c].Get(row);
      if (value.data() != nullptr && compact[c].Set(rows, value) < 0) {
        return Fail("a column holds more than 4 GiB of text");
      }
    }
    ++rows;
  }
  old = std::move(compact);
  sheet_->rows = rows;
  return true;
}

}  // namespace parley
