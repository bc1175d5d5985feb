// One prepared SQLite statement, shared by the database object and the recordset. Internal to
// the database layer: the rest of the engine goes through CExcelDatabase and CRecordset.
//
// Statement text and bound values are engine text (CP949) and are converted to UTF-8 here;
// values read back are converted to CP949.
#ifndef PARLEY_DB_STATEMENT_H_
#define PARLEY_DB_STATEMENT_H_

#include <string>
#include <string_view>

#include "db/query_budget.h"
#include "db/sql_text.h"

struct sqlite3;
struct sqlite3_stmt;

namespace parley {

// The outcome of a failed call: SQLite's result code and its message (CP949).
struct SqlError {
  int code = 0;
  std::string message;
};

class Statement {
 public:
  enum class Step { kRow, kDone, kError };

  Statement() = default;
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Compiles sql on db and binds params to its "?" markers, in order. Fails, leaving the object
  // empty and *error set, when the text holds a NUL byte, does not compile, holds no statement or
  // more than one, or the number of params differs from the number of markers. Compiling and
  // every later Next are bounded by budget; a call over it fails with SQLITE_INTERRUPT and the
  // budget's reason.
  // REQUIRES: db is open.
  bool Prepare(sqlite3* db, std::string_view sql, const SqlParams& params, SqlError* error,
               const QueryBudget& budget = {});

  // Runs the statement to its next row. kError sets *error.
  Step Next(SqlError* error);

  // The number of result columns; 0 for an empty object.
  int column_count() const;
  // Column i of the current row as CP949 text; NULL reads as empty.
  // REQUIRES: the last Next() gave kRow and 0 <= i < column_count().
  std::string ColumnText(int i) const;
  // Column i of the current row as SQLite holds it (UTF-8), valid until the next step; *is_null
  // tells NULL from an empty text.
  std::string_view ColumnUtf8(int i, bool* is_null) const;
  // The name of result column i as CP949 text. REQUIRES: 0 <= i < column_count().
  std::string ColumnName(int i) const;

  // Frees the statement; the object is empty again.
  void Finalize();
  bool empty() const { return stmt_ == nullptr; }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  QueryBudget budget_;
};

// Returns the last error of db as an SqlError (CP949 message).
SqlError LastError(sqlite3* db);

}  // namespace parley

#endif  // PARLEY_DB_STATEMENT_H_
