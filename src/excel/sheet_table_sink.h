// A SheetSink that stores each sheet of a workbook as a table of an SQLite database, the way the
// Excel commands query them: "select * from [Sheet1$]".
#ifndef PARLEY_EXCEL_SHEET_TABLE_SINK_H_
#define PARLEY_EXCEL_SHEET_TABLE_SINK_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "excel/load_budget.h"
#include "excel/sheet_sink.h"
#include "excel/sheet_tables.h"

struct sqlite3;

namespace parley {

// Each sheet becomes a table "<sheet>$" over the sheet's used range, as the spreadsheet driver
// read it: from the first row holding a value, which names the columns, and from the first column
// holding a value (blank rows above and blank columns left of the data are not part of it). Every
// column is declared TEXT, so "1" and 1 are the same value, with the NOCASE collation, so that
// "Kim" and "KIM" are one value to DISTINCT, as they were to the spreadsheet driver. Naming rules:
//   - an empty header cell names its column "F<column number>" (1-based, within the range);
//   - a name already used by an earlier column (compared as SQLite does, ASCII case folded) is
//     replaced by "F<column number>" too, made unique with "_2", "_3"... if need be;
//   - a cell of a later row right of the header's last column adds a column "F<column number>".
//   - a sheet or column name is stored as the engine's text (CP949) holds it, a character
//     outside it becoming "?" ("연락처😀" gives "연락처?$"), so that the engine can name every
//     table and column it lists; names equal after this are equal to the rules here.
// Rows without any cell are not stored; a sheet without cells gets a table with one column F1
// and no rows. Of the columns from the first one holding a value, the budget's stored_columns are
// kept and cells right of them ignored (counted as stored cells without bytes); a value is cut to
// its cell_bytes at a UTF-8 character boundary. A sheet whose name equals an earlier one's (ASCII
// case folded) or starts with "sqlite_" (kept for SQLite's own tables) is skipped.
//
// The cells are held in memory by column (see sheet_tables.h), and each sheet's table is made
// when the sheet ends, so a sheet left unfinished leaves nothing behind. What is stored is
// charged to the load budget: each sheet, and each row as it is gathered (its cells, their bytes
// and the slots it adds to its columns, see LoadLimits::stored_bytes). A failing call, over the
// budget or not, returns false and leaves the reason in error(); the database then holds the
// sheets finished before.
class SheetTableSink : public SheetSink {
 public:
  // Each row of each column up to its last value takes a slot of this many bytes.
  static constexpr uint64_t kSlotBytes = 4;

  // REQUIRES: db is open; db and budget outlive this object; one sink per connection.
  SheetTableSink(sqlite3* db, LoadBudget& budget);
  SheetTableSink(const SheetTableSink&) = delete;
  SheetTableSink& operator=(const SheetTableSink&) = delete;

  bool BeginSheet(std::string_view name) override;
  bool Cell(uint32_t row, uint32_t column, std::string_view value) override;
  bool EndSheet() override;

  // Call once after the last sheet: for every table whose name holds a space, creates the view
  // "'<sheet>$'" over it (the name older readers listed such sheets under). A view whose name is
  // taken already is left out.
  bool Finish();

  // The names of the tables made, in workbook order.
  const std::vector<std::string>& tables() const { return tables_; }

  // The reason of the last failure; empty when none.
  const std::string& error() const { return error_; }

 private:
  bool Exec(const std::string& sql);
  bool Fail(std::string message);
  std::string UniqueColumnName(const std::string& wanted, uint32_t column);
  // Charges what the row gathered so far added.
  bool ChargeRow();
  // Moves the sheet's first column shift columns to the left: the header and the columns move
  // right, those past the columns kept are dropped, and so are rows left without a value.
  bool ShiftRight(uint32_t shift);

  // Charges n cells of bytes in all to the budget; false with its reason when over it.
  bool Charge(uint64_t cells, uint64_t bytes);

  sqlite3* db_;
  LoadBudget& budget_;
  const uint32_t max_columns_;
  const size_t max_cell_bytes_;
  SheetTables* sheet_tables_ = nullptr;  // owned by the connection
  std::string error_;
  std::vector<std::string> tables_;
  std::unordered_set<std::string> table_keys_;  // Case-folded names of tables_.

  // The sheet being gathered.
  bool in_sheet_ = false;
  bool skip_sheet_ = false;
  std::string table_;
  std::vector<std::string> header_;  // The header row's cells; empty strings for the gaps.
  int64_t header_row_ = -1;          // The first row holding a value, once seen.
  int64_t base_ = -1;                // The sheet column of column 0: the leftmost holding a value.
  uint32_t used_end_ = 0;            // One past the rightmost column of a stored row's value.
  std::unique_ptr<StoredSheet> sheet_;
  std::unordered_set<std::string> column_keys_;  // Case-folded names of the sheet's columns.
  int64_t row_ = -1;        // The sheet row of the row being gathered (stored as sheet_->rows - 1).
  uint64_t row_cells_ = 0;  // Cells and bytes of that row not charged yet.
  uint64_t row_bytes_ = 0;
};

}  // namespace parley

#endif  // PARLEY_EXCEL_SHEET_TABLE_SINK_H_
