// Reading query results, row by row:
//
//   CRecordset rs(db);
//   rs.Open("SELECT ADDRNAME, ADDRPHONE FROM ADDRESS_TB WHERE GPSEQ = ?", {key});
//   while (!rs.IsEOF()) {
//     std::string name = rs.GetFieldValue(0);
//     rs.MoveNext();
//   }
//   rs.Close();
//
// Every failure throws CDBException carrying the driver's message.
#ifndef PARLEY_DB_RECORDSET_H_
#define PARLEY_DB_RECORDSET_H_

#include <string>
#include <string_view>

#include "db/sql_text.h"
#include "db/statement.h"

namespace parley {

class CExcelDatabase;

// The result of one SELECT on a CExcelDatabase, read forward only.
// REQUIRES: the database outlives the recordset and stays open while the recordset is open.
class CRecordset {
 public:
  explicit CRecordset(CExcelDatabase& db) : db_(db) {}
  ~CRecordset() = default;
  CRecordset(const CRecordset&) = delete;
  CRecordset& operator=(const CRecordset&) = delete;

  // Runs sql (one statement, CP949) with params bound to its "?" markers and moves to the first
  // row; a result open before is closed first. Throws CDBException when no database is open, the
  // text does not compile or holds more than one statement, the markers and params do not match,
  // or the first row cannot be read. After a throw the recordset is closed.
  void Open(std::string_view sql, const SqlParams& params = {});

  // True when there is no current row: past the last row, or closed.
  bool IsEOF() const { return eof_; }

  // The number of result columns; 0 when closed.
  int GetODBCFieldCount() const { return statement_.column_count(); }

  // Column index (from 0) of the current row as CP949 text; NULL reads as empty, numbers as their
  // decimal text. Throws CDBException when there is no current row or no such column.
  std::string GetFieldValue(int index) const;

  // Column index of the current row as stored (UTF-8), valid until the next MoveNext or Close;
  // *is_null tells NULL from empty. Throws as GetFieldValue.
  std::string_view GetFieldUtf8(int index, bool* is_null) const;

  // Moves to the next row; at the end, does nothing. Throws CDBException when the next row cannot
  // be read (the recordset is then closed).
  void MoveNext();

  // Ends the query. Safe to call more than once.
  void Close();

 private:
  CExcelDatabase& db_;
  Statement statement_;
  bool eof_ = true;
};

}  // namespace parley

#endif  // PARLEY_DB_RECORDSET_H_
