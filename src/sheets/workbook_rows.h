// WorkbookRows: the rows of an Excel send read from an open ExcelWorkbook (the SheetRowCursor of
// send/excel_send.h over ExcelWorkbook::RowQuery), each with its verdict: sent, or left out for
// a phone or callback cell that is no valid number, or as a duplicate.
#ifndef PARLEY_SHEETS_WORKBOOK_ROWS_H_
#define PARLEY_SHEETS_WORKBOOK_ROWS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "send/excel_send.h"

namespace parley {

class CRecordset;
class ExcelWorkbook;

// How an Excel send drops repeated rows.
enum class RowDedupe {
  kNone,     // every row
  kRows,     // each distinct row once: phone, second number and every template field equal
             // (letters compared without case, as the sheet's columns collate)
  kNumbers,  // each recipient number once (after normalisation), the first row keeping it
};

// Where the rows of a send come from in the workbook.
struct SheetColumns {
  std::string sheet;   // the sheet's table name
  std::string phone;   // the phone column
  std::string second;  // the second-number column, or the one-column callback (normalised)
  bool two_column = true;
  RowDedupe dedupe = RowDedupe::kNone;
  // The recipients (digits) the send leaves out as opted out (send/sending_rules.h); none when
  // null.
  std::shared_ptr<const std::unordered_set<std::string>> opted_out{};
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
  // Recipient: the phone cell normalised by the one number rule (numbers/korean_number.h); a
  // cell that is no mobile number makes the row kBadPhone. Callback: in two-column mode the
  // second cell normalised the same way (kBadCallback when it is no callback number); in
  // one-column mode the callback as given. Then a recipient on the opt-out list makes the row
  // kOptedOut, and then the dedupe's duplicates. Text: the template with
  // the row's fields applied; the values cut and the first column with a character CP949
  // cannot hold are noted.
  bool Read(SheetRow* row) override;
  bool MoveNext() override;
  void Close() override;
  const std::string& error() const override { return error_; }

  // The template field names, in marker order (the columns of CutValue::field).
  const std::vector<std::string>& field_names() const;

  // When set, Read notes the values cut and the characters CP949 lacks (SheetRow::cuts and
  // unencodable_column), which only a check reports; a send leaves it off.
  void set_noting(bool noting) { noting_ = noting; }

 private:
  struct PairHash {
    size_t operator()(const std::pair<uint64_t, uint64_t>& p) const {
      return static_cast<size_t>(p.first ^ (p.second * 0x9E3779B97F4A7C15ull));
    }
  };
  // True when the current row's selected values were seen before (kRows).
  bool SeenRow();
  // Column i of the current row as CP949; *lost, when given, is set when a character of it has
  // no CP949 form.
  std::string Cell(int i, bool* lost) const;

  ExcelWorkbook& workbook_;
  SheetColumns columns_;
  std::string sql_;
  std::unique_ptr<CRecordset> rs_;
  std::string error_;
  int64_t row_ = 1;  // the sheet row of the current result row
  bool noting_ = false;
  std::unordered_set<std::string> seen_numbers_;
  std::unordered_set<std::pair<uint64_t, uint64_t>, PairHash> seen_rows_;
};

}  // namespace parley

#endif  // PARLEY_SHEETS_WORKBOOK_ROWS_H_
