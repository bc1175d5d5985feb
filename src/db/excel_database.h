// The database object shared by the address book and the Excel reader: one SQLite connection,
// the list of its tables, and the write operations the engine runs on it.
//
// All text crossing this interface is engine text (CP949): SQL, names, bound values and errors.
// SQLite itself holds UTF-8; the conversion happens inside. File paths are file-system paths.
//
// Write operations (CreateTable, InsertRow, ExecuteWithParam, the deletes) never throw: a failure
// gives false, with the reason in last_error(). Reads go through CRecordset, which throws
// CDBException.
#ifndef PARLEY_DB_EXCEL_DATABASE_H_
#define PARLEY_DB_EXCEL_DATABASE_H_

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/query_budget.h"
#include "db/sql_text.h"

struct sqlite3;

namespace parley {

class CExcelDatabase {
 public:
  // GetFields lists at most this many columns of a table.
  static constexpr size_t kMaxFields = 8;

  CExcelDatabase() = default;
  ~CExcelDatabase();  // Closes the connection.
  CExcelDatabase(const CExcelDatabase&) = delete;
  CExcelDatabase& operator=(const CExcelDatabase&) = delete;

  // Opens the SQLite database file at path for reading and writing, then fills table_names().
  // A missing file is an error unless create is set, when a new database is made there; an empty
  // file counts as a new database. A file of any other kind (an Access database, anything not
  // starting with the SQLite header) is refused before SQLite touches it, so it is never changed.
  // Any connection open before is closed first. Returns false, with the reason in last_error()
  // and nothing open, when the file cannot be opened or its catalogue cannot be read.
  bool OpenMDB(const std::filesystem::path& path, bool create = false);

  // Opens a new, empty in-memory database (for the Excel reader, which fills it through handle()
  // and then calls RefreshTables). Any connection open before is closed first.
  bool OpenMemory();

  // Takes over db, an open connection (for example one the Excel reader filled), closing any
  // connection open before, and fills table_names(). The connection is closed with this object.
  // Returns the result of RefreshTables. REQUIRES: db is not null.
  bool Adopt(sqlite3* db);

  // Shares db, an open connection that others may hold too (the Excel reader's cached workbook),
  // closing any connection open before, and fills table_names(). The connection stays open
  // until the last holder lets go. Functions are registered only when the connection has none
  // yet, so a holder's query still running on it is never disturbed. Returns the result of
  // RefreshTables. REQUIRES: db not null.
  bool AdoptShared(std::shared_ptr<sqlite3> db);

  // Bounds every query run through this object and its recordsets from now on (each call into
  // SQLite; see QueryBudget). Unbounded by default.
  void set_query_budget(const QueryBudget& budget) { budget_ = budget; }
  const QueryBudget& query_budget() const { return budget_; }

  // Compiles sql without running it. False, with the driver's message in last_error(), when the
  // text names a missing table or column, is not valid SQL or is not allowed.
  bool CheckQuery(std::string_view sql);

  // Closes the connection, if any, and empties table_names().
  void Close();

  bool IsOpen() const { return db_ != nullptr; }

  // The connection, or null when none is open. Still owned by this object.
  sqlite3* handle() const { return db_; }

  // Empties table_names() and fills it with GetTables. Returns false when the catalogue cannot
  // be read (table_names() is then empty).
  bool RefreshTables();

  // The names of the database's tables in catalogue order, as the last open or RefreshTables
  // found them.
  const std::vector<std::string>& table_names() const { return table_names_; }
  std::vector<std::string>& table_names() { return table_names_; }

  // Appends the name of every table (not views, not SQLite's own) to *names in catalogue order,
  // which is the order of creation; *names is not emptied first. Returns false, leaving *names
  // unchanged, when the catalogue cannot be read.
  bool GetTables(std::vector<std::string>* names);

  // Appends the column names of table (a table or view), in column order, at most kMaxFields of
  // them, to *names. Returns false, leaving *names unchanged, when there is no such table or it
  // has no columns.
  bool GetFields(std::string_view table, std::vector<std::string>* names);

  // Runs "CREATE TABLE <table> (<columns>)" with table quoted as an identifier; columns is
  // SQL text written by the engine, never input. False when the table exists already or the
  // definition is invalid.
  bool CreateTable(std::string_view table, std::string_view columns);

  // Runs "INSERT INTO <table> (<columns>) VALUES(<values>)" with table quoted as an identifier
  // and params bound to the "?" markers of values. columns and values are SQL text written by the
  // engine; anything from input goes in params.
  bool InsertRow(std::string_view table, std::string_view columns, std::string_view values,
                 const SqlParams& params = {});

  // Runs one statement, sql, with params bound to its "?" markers. Text holding a second
  // statement is refused.
  bool ExecuteWithParam(std::string_view sql, const SqlParams& params = {});

  // Delete every row of USER_TB, ADDRESS_TB or GROUPADDR_TB.
  bool DeleteAllUsers();
  bool DeleteAllAddresses();
  bool DeleteAllGroups();

  // Transactions: the statements between BeginTrans and CommitTrans are written together or,
  // after Rollback, not at all.
  bool BeginTrans();
  bool CommitTrans();
  bool Rollback();

  // The reason the last failed operation gave (CP949); empty before any failure.
  const std::string& last_error() const { return last_error_; }

 private:
  // Sets up a connection just opened: the Now() function and a busy time-out.
  bool Prepare(sqlite3* db);
  // True when db already answers Now(), as a connection set up by Prepare does.
  bool HasNowFunction(sqlite3* db);
  bool Fail(std::string message);

  sqlite3* db_ = nullptr;
  std::shared_ptr<sqlite3> shared_;  // set when the connection is shared, which then closes it
  std::vector<std::string> table_names_;
  std::string last_error_;
  QueryBudget budget_;
};

}  // namespace parley

#endif  // PARLEY_DB_EXCEL_DATABASE_H_
