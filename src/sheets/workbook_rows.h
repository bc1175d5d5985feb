// WorkbookRows: the rows of an Excel send read from an open ExcelWorkbook (the SheetRowCursor of
// send/excel_send.h over ExcelWorkbook::RowQuery).
#ifndef PARLEY_SHEETS_WORKBOOK_ROWS_H_
#define PARLEY_SHEETS_WORKBOOK_ROWS_H_

#include <memory>
#include <string>
#include <string_view>

#include "send/excel_send.h"

namespace parley {

class CRecordset;
class ExcelWorkbook;

// Where the rows of a send come from in the workbook.
struct SheetColumns {
  std::string sheet;   // the sheet's table name
  std::string phone;   // the phone column
  std::string second;  // the second-number column, or the one-column callback
  bool two_column = true;
  bool distinct = false;  // each distinct row once ("<OVERLAP>")
};

class WorkbookRows : public SheetRowCursor {
 public:
  // Reads the template of `text` into workbook (ParseTemplate) and builds the query of columns.
  // The workbook must stay open while this object lives.
  WorkbookRows(ExcelWorkbook& workbook, SheetColumns columns, std::string_view text);
  ~WorkbookRows() override;

  std::string CheckQuery() override;
  bool Open() override;
  bool AtEnd() const override;
  // Recipient: the phone cell cleaned (NormalizeCell, hyphens removed) when it has 8 to 13
  // bytes, else "010-0000-0000". Callback: in two-column mode the second cell cleaned when it
  // has 1 to 13 bytes, else that number; in one-column mode the callback as given. Text: the
  // template with the row's fields applied.
  bool Read(SheetRow* row) override;
  bool MoveNext() override;
  void Close() override;
  const std::string& error() const override { return error_; }

 private:
  ExcelWorkbook& workbook_;
  SheetColumns columns_;
  std::string sql_;
  std::unique_ptr<CRecordset> rs_;
  std::string error_;
};

}  // namespace parley

#endif  // PARLEY_SHEETS_WORKBOOK_ROWS_H_
