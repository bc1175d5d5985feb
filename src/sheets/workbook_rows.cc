#include "sheets/workbook_rows.h"

#include <utility>

#include "db/db_exception.h"
#include "db/excel_database.h"
#include "db/recordset.h"
#include "sheets/excel_workbook.h"

namespace parley {
namespace {

constexpr std::string_view kSubstituteNumber = "010-0000-0000";

// Runs step; false, with the database's reason in *error, when it throws CDBException.
template <typename Step>
bool Trapped(std::string* error, Step step) {
  try {
    step();
    return true;
  } catch (const CDBException& e) {
    *error = e.what();
    return false;
  }
}

}  // namespace

WorkbookRows::WorkbookRows(ExcelWorkbook& workbook, SheetColumns columns, std::string_view text)
    : workbook_(workbook), columns_(std::move(columns)) {
  workbook_.ParseTemplate(text);
  sql_ = workbook_.RowQuery(columns_.sheet, columns_.phone, columns_.second, columns_.two_column,
                            columns_.distinct);
  rs_ = std::make_unique<CRecordset>(*workbook_.database());
}

WorkbookRows::~WorkbookRows() = default;

std::string WorkbookRows::CheckQuery() {
  CExcelDatabase& db = *workbook_.database();
  return db.CheckQuery(sql_) ? std::string() : db.last_error();
}

bool WorkbookRows::Open() {
  return Trapped(&error_, [this] { rs_->Open(sql_); });
}

bool WorkbookRows::AtEnd() const { return rs_->IsEOF(); }

bool WorkbookRows::Read(SheetRow* row) {
  return Trapped(&error_, [this, row] {
    row->recipient = rs_->GetFieldValue(0);
    row->recipient = row->recipient.size() >= 8 && row->recipient.size() <= 13
                         ? ExcelWorkbook::NormalizeCell(std::move(row->recipient), true)
                         : std::string(kSubstituteNumber);
    if (columns_.two_column) {
      row->callback = rs_->GetFieldValue(1);
      row->callback = !row->callback.empty() && row->callback.size() <= 13
                          ? ExcelWorkbook::NormalizeCell(std::move(row->callback), true)
                          : std::string(kSubstituteNumber);
    } else {
      row->callback = columns_.second;
    }
    const CRecordset& rs = *rs_;
    row->text = workbook_.ComposeText([&rs](int i) { return rs.GetFieldValue(i); },
                                      columns_.two_column ? 2 : 1);
  });
}

bool WorkbookRows::MoveNext() {
  return Trapped(&error_, [this] { rs_->MoveNext(); });
}

void WorkbookRows::Close() { rs_->Close(); }

}  // namespace parley
