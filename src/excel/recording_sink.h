// Test support: a SheetSink that records what a reader hands on, as "A1=value" per cell.
#ifndef PARLEY_EXCEL_RECORDING_SINK_H_
#define PARLEY_EXCEL_RECORDING_SINK_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "excel/load_budget.h"
#include "excel/sheet_sink.h"

namespace parley {

class RecordingSink : public SheetSink {
 public:
  struct Sheet {
    std::string name;
    std::vector<std::string> cells;  // "B2=value", in the order reported
  };

  // Makes Cell return false from the (limit+1)th cell on.
  explicit RecordingSink(size_t cell_limit = SIZE_MAX) : cell_limit_(cell_limit) {}

  bool BeginSheet(std::string_view name) override {
    sheets.push_back({std::string(name), {}});
    last_row_ = -1;
    last_column_ = -1;
    return true;
  }

  bool Cell(uint32_t row, uint32_t column, std::string_view value) override {
    if (cell_count_++ >= cell_limit_) return false;
    // Rows ascend, and the cells of a row ascend: anything else is a reader fault.
    if (sheets.empty() || int64_t{row} < last_row_ ||
        (int64_t{row} == last_row_ && int64_t{column} <= last_column_) || value.empty()) {
      order_broken = true;
    }
    last_row_ = row;
    last_column_ = column;
    if (sheets.empty()) return true;
    sheets.back().cells.push_back(CellName(row, column) + "=" + std::string(value));
    return true;
  }

  bool EndSheet() override { return true; }

  // "A1" for row 0, column 0.
  static std::string CellName(uint32_t row, uint32_t column) {
    std::string letters;
    for (uint64_t value = uint64_t{column} + 1; value > 0; value = (value - 1) / 26) {
      letters.insert(letters.begin(), static_cast<char>('A' + (value - 1) % 26));
    }
    return letters + std::to_string(uint64_t{row} + 1);
  }

  std::vector<Sheet> sheets;
  bool order_broken = false;

 private:
  size_t cell_limit_;
  size_t cell_count_ = 0;
  int64_t last_row_ = -1;
  int64_t last_column_ = -1;
};

// What a reader gives for a file, one line each: "error: REASON" when it fails, then "sheet: NAME"
// and "A1=value" per cell for each sheet handed on, and "cells out of order" when the order was
// broken.
// The reader gets a budget of the default limits.
inline std::vector<std::string> ReadListing(bool (*read)(const std::filesystem::path&, SheetSink&,
                                                         LoadBudget&, std::string*),
                                            const std::filesystem::path& file) {
  RecordingSink sink;
  LoadBudget budget;
  std::string error;
  std::vector<std::string> lines;
  if (!read(file, sink, budget, &error)) lines.push_back("error: " + error);
  for (const RecordingSink::Sheet& sheet : sink.sheets) {
    lines.push_back("sheet: " + sheet.name);
    lines.insert(lines.end(), sheet.cells.begin(), sheet.cells.end());
  }
  if (sink.order_broken) lines.push_back("cells out of order");
  return lines;
}

}  // namespace parley

#endif  // PARLEY_EXCEL_RECORDING_SINK_H_
