#include "db/recordset.h"

#include <sqlite3.h>

#include "db/db_exception.h"
#include "db/excel_database.h"

namespace parley {

void CRecordset::Open(std::string_view sql, const SqlParams& params) {
  Close();
  SqlError error;
  if (!statement_.Prepare(db_.handle(), sql, params, &error, db_.query_budget())) {
    throw CDBException(error.code, error.message);
  }
  eof_ = false;
  MoveNext();
}

std::string CRecordset::GetFieldValue(int index) const {
  if (eof_) throw CDBException(SQLITE_MISUSE, "no current row");
  if (index < 0 || index >= statement_.column_count()) {
    throw CDBException(SQLITE_RANGE, "no column " + std::to_string(index) + " in the result");
  }
  return statement_.ColumnText(index);
}

std::string_view CRecordset::GetFieldUtf8(int index, bool* is_null) const {
  if (eof_) throw CDBException(SQLITE_MISUSE, "no current row");
  if (index < 0 || index >= statement_.column_count()) {
    throw CDBException(SQLITE_RANGE, "no column " + std::to_string(index) + " in the result");
  }
  return statement_.ColumnUtf8(index, is_null);
}

void CRecordset::MoveNext() {
  if (eof_) return;
  SqlError error;
  switch (statement_.Next(&error)) {
    case Statement::Step::kRow:
      return;
    case Statement::Step::kDone:
      eof_ = true;
      return;
    case Statement::Step::kError:
      Close();
      throw CDBException(error.code, error.message);
  }
}

void CRecordset::Close() {
  statement_.Finalize();
  eof_ = true;
}

}  // namespace parley
