#include "excel/sheet_tables.h"

#include <sqlite3.h>

#include <charconv>
#include <cstring>
#include <string_view>

#include "db/sql_text.h"

namespace parley {
namespace {

constexpr char kModule[] = "parley_sheet";

struct SheetTable : sqlite3_vtab {
  std::shared_ptr<const StoredSheet> sheet;
};

struct SheetCursor : sqlite3_vtab_cursor {
  uint32_t row = 0;
};

const StoredSheet& SheetOf(sqlite3_vtab_cursor* cursor) {
  return *static_cast<SheetTable*>(cursor->pVtab)->sheet;
}

// CREATE VIRTUAL TABLE ... USING parley_sheet(N): the table of the N-th sheet created.
int Connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** table,
            char** reason) {
  size_t n = 0;
  const std::string_view number = argc == 4 ? argv[3] : "";
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
  std::shared_ptr<const StoredSheet> sheet =
      ec == std::errc() && end == number.data() + number.size()
          ? static_cast<SheetTables*>(aux)->sheet(n)
          : nullptr;
  if (sheet == nullptr) {
    *reason = sqlite3_mprintf("no stored sheet");
    return SQLITE_ERROR;
  }
  std::string schema = "CREATE TABLE x(";
  for (size_t i = 0; i < sheet->names.size(); ++i) {
    if (i > 0) schema += ", ";
    schema += QuoteIdentifier(sheet->names[i]) + " TEXT COLLATE NOCASE";
  }
  schema += ")";
  int rc = sqlite3_declare_vtab(db, schema.c_str());
  if (rc != SQLITE_OK) return rc;
  // Reading a sheet has no side effects: it may be used from views.
  sqlite3_vtab_config(db, SQLITE_VTAB_INNOCUOUS);
  auto* made = new SheetTable();
  made->sheet = std::move(sheet);
  *table = made;
  return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* table) {
  delete static_cast<SheetTable*>(table);
  return SQLITE_OK;
}

int BestIndex(sqlite3_vtab* table, sqlite3_index_info* info) {
  const double rows = static_cast<SheetTable*>(table)->sheet->rows;
  info->estimatedCost = rows + 1;
  info->estimatedRows = static_cast<sqlite3_int64>(rows);
  return SQLITE_OK;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** cursor) {
  *cursor = new SheetCursor();
  return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
  delete static_cast<SheetCursor*>(cursor);
  return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* cursor, int, const char*, int, sqlite3_value**) {
  static_cast<SheetCursor*>(cursor)->row = 0;
  return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* cursor) {
  ++static_cast<SheetCursor*>(cursor)->row;
  return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* cursor) {
  return static_cast<SheetCursor*>(cursor)->row >= SheetOf(cursor).rows;
}

int Column(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int column) {
  const StoredSheet& sheet = SheetOf(cursor);
  const std::string_view value =
      sheet.columns[static_cast<size_t>(column)].Get(static_cast<SheetCursor*>(cursor)->row);
  if (value.data() == nullptr) {
    sqlite3_result_null(context);
  } else {
    // The sheet outlives every statement reading it.
    sqlite3_result_text(context, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
  }
  return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid) {
  *rowid = static_cast<SheetCursor*>(cursor)->row + 1;
  return SQLITE_OK;
}

sqlite3_module MakeModule() {
  sqlite3_module module;
  std::memset(&module, 0, sizeof module);
  module.iVersion = 1;
  module.xCreate = Connect;
  module.xConnect = [](sqlite3* db, void* aux, int argc, const char* const* argv,
                       sqlite3_vtab** table,
                       char** reason) { return Connect(db, aux, argc, argv, table, reason); };
  module.xBestIndex = BestIndex;
  module.xDisconnect = Disconnect;
  module.xDestroy = Disconnect;
  module.xOpen = Open;
  module.xClose = Close;
  module.xFilter = Filter;
  module.xNext = Next;
  module.xEof = Eof;
  module.xColumn = Column;
  module.xRowid = Rowid;
  return module;
}

const sqlite3_module kSheetModule = MakeModule();

}  // namespace

SheetTables* SheetTables::Register(sqlite3* db, std::string* error) {
  auto* tables = new SheetTables(db);
  if (sqlite3_create_module_v2(db, kModule, &kSheetModule, tables, [](void* aux) {
        delete static_cast<SheetTables*>(aux);
      }) != SQLITE_OK) {
    // SQLite has freed tables through the destructor.
    *error = sqlite3_errmsg(db);
    return nullptr;
  }
  return tables;
}

bool SheetTables::Create(const std::string& name, std::shared_ptr<const StoredSheet> sheet,
                         std::string* error) {
  sheets_.push_back(std::move(sheet));
  const std::string sql = "CREATE VIRTUAL TABLE " + QuoteIdentifier(name) + " USING " + kModule +
                          "(" + std::to_string(sheets_.size() - 1) + ")";
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  *error = message != nullptr ? message : sqlite3_errmsg(db_);
  sqlite3_free(message);
  sheets_.pop_back();
  return false;
}

}  // namespace parley
