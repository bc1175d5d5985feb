// Sheets held in memory, served to SQLite as read-only tables through a virtual table module:
// a load copies no cell into SQLite, and the Excel commands' SQL runs on them as on any table.
#ifndef PARLEY_EXCEL_SHEET_TABLES_H_
#define PARLEY_EXCEL_SHEET_TABLES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "excel/column_text.h"

struct sqlite3;

namespace parley {

// One stored sheet: its columns' names and values. Every column is TEXT with the NOCASE
// collation; a NULL data() is NULL.
struct StoredSheet {
  std::vector<std::string> names;
  std::vector<ColumnText> columns;  // one for each name
  uint32_t rows = 0;
};

// The sheets of one connection. Made by Register, owned by the connection (freed when it
// closes).
class SheetTables {
 public:
  // Registers the module on db; null with the reason in *error when SQLite refuses it. Call once
  // per connection.
  static SheetTables* Register(sqlite3* db, std::string* error);

  // Creates the table `name` over sheet, read-only: its rows in order, rowid from 1.
  // False with SQLite's reason in *error.
  bool Create(const std::string& name, std::shared_ptr<const StoredSheet> sheet,
              std::string* error);

  // The sheet behind the n-th table created (for the module).
  std::shared_ptr<const StoredSheet> sheet(size_t n) const {
    return n < sheets_.size() ? sheets_[n] : nullptr;
  }

 private:
  explicit SheetTables(sqlite3* db) : db_(db) {}
  sqlite3* db_;
  std::vector<std::shared_ptr<const StoredSheet>> sheets_;
};

}  // namespace parley

#endif  // PARLEY_EXCEL_SHEET_TABLES_H_
