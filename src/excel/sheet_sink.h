// The cells of a workbook as the readers hand them on: sheet by sheet, in workbook order.
#ifndef PARLEY_EXCEL_SHEET_SINK_H_
#define PARLEY_EXCEL_SHEET_SINK_H_

#include <cstdint>
#include <string_view>

namespace parley {

// Receives a workbook's cells. Within a sheet, rows come in ascending order and the cells of a
// row in ascending column order; empty cells are not reported. Text is UTF-8, values already
// formatted (see cell_format.h). Row and column are 0-based. Any call returning false stops the
// reader, which then fails with the sink's reason.
class SheetSink {
 public:
  virtual ~SheetSink() = default;
  virtual bool BeginSheet(std::string_view name) = 0;
  virtual bool Cell(uint32_t row, uint32_t column, std::string_view value) = 0;
  virtual bool EndSheet() = 0;
};

}  // namespace parley

#endif  // PARLEY_EXCEL_SHEET_SINK_H_
