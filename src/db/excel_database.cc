#include "db/excel_database.h"

#include <spdlog/spdlog.h>
#include <sqlite3.h>

#include <array>
#include <cstring>
#include <ctime>
#include <fstream>
#include <system_error>

#include "db/statement.h"
#include "text/cp949.h"

namespace parley {
namespace {

// The first bytes of an SQLite database file, and where an Access (Jet or ACE) file names its
// format.
constexpr char kSqliteMagic[] = "SQLite format 3";  // 15 characters and the NUL: 16 bytes
constexpr size_t kSqliteMagicSize = sizeof kSqliteMagic;
constexpr size_t kAccessTagOffset = 4;
constexpr std::string_view kJetTag = "Standard Jet DB";
constexpr std::string_view kAceTag = "Standard ACE DB";
constexpr size_t kSniffSize = kAccessTagOffset + kJetTag.size();

constexpr int kBusyTimeoutMs = 2000;

enum class FileKind { kMissing, kEmpty, kSqlite, kAccess, kOther, kUnreadable };

// Looks at the first bytes of the file at path without opening it for writing.
FileKind SniffFile(const std::filesystem::path& path) {
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found) return FileKind::kMissing;
  if (ec) return FileKind::kUnreadable;
  if (!std::filesystem::is_regular_file(status)) return FileKind::kOther;
  std::ifstream in(path, std::ios::binary);
  if (!in) return FileKind::kUnreadable;
  std::array<char, kSniffSize> head{};
  in.read(head.data(), head.size());
  size_t got = static_cast<size_t>(in.gcount());
  if (got == 0) return in.bad() ? FileKind::kUnreadable : FileKind::kEmpty;
  if (got >= kSqliteMagicSize && std::memcmp(head.data(), kSqliteMagic, kSqliteMagicSize) == 0) {
    return FileKind::kSqlite;
  }
  if (got >= kSniffSize) {
    std::string_view tag(head.data() + kAccessTagOffset, kJetTag.size());
    if (tag == kJetTag || tag == kAceTag) return FileKind::kAccess;
  }
  return FileKind::kOther;
}

// Now(): the local date and time as "YYYY-MM-DD HH:MM:SS", as the stored rows expect.
void NowFunction(sqlite3_context* context, int /*argc*/, sqlite3_value** /*argv*/) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  size_t size = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  sqlite3_result_text(context, text, static_cast<int>(size), SQLITE_TRANSIENT);
}

}  // namespace

CExcelDatabase::~CExcelDatabase() { Close(); }

void CExcelDatabase::Close() {
  if (shared_) {
    shared_.reset();
  } else if (db_ != nullptr) {
    sqlite3_close_v2(db_);
  }
  db_ = nullptr;
  table_names_.clear();
}

bool CExcelDatabase::Fail(std::string message) {
  spdlog::debug("database: {}", AnsiToUtf8(message));
  last_error_ = std::move(message);
  return false;
}

bool CExcelDatabase::Prepare(sqlite3* db) {
  sqlite3_extended_result_codes(db, 0);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if (sqlite3_create_function_v2(db, "Now", 0, SQLITE_UTF8, nullptr, NowFunction, nullptr, nullptr,
                                 nullptr) != SQLITE_OK) {
    return Fail(LastError(db).message);
  }
  return true;
}

bool CExcelDatabase::OpenMDB(const std::filesystem::path& path, bool create) {
  Close();
  // The file path as the file system names it; shown in messages as engine text.
  std::string name = Utf8ToAnsi(path.string());
  int flags = SQLITE_OPEN_READWRITE;
  switch (SniffFile(path)) {
    case FileKind::kMissing:
      if (!create) return Fail(name + ": no such file");
      flags |= SQLITE_OPEN_CREATE;
      break;
    case FileKind::kEmpty:
    case FileKind::kSqlite:
      break;
    case FileKind::kAccess:
      return Fail(name + " is an Access database, not an SQLite database");
    case FileKind::kOther:
      return Fail(name + " is not an SQLite database");
    case FileKind::kUnreadable:
      return Fail(name + " cannot be read");
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    std::string message = name + ": " + LastError(db).message;
    sqlite3_close_v2(db);
    return Fail(message);
  }
  if (!Prepare(db)) {
    sqlite3_close_v2(db);
    return false;
  }
  db_ = db;
  if (!RefreshTables()) {
    std::string message = name + ": " + last_error_;
    Close();
    return Fail(message);
  }
  return true;
}

bool CExcelDatabase::OpenMemory() {
  Close();
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    std::string message = LastError(db).message;
    sqlite3_close_v2(db);
    return Fail(message);
  }
  if (!Prepare(db)) {
    sqlite3_close_v2(db);
    return false;
  }
  db_ = db;
  return true;
}

bool CExcelDatabase::Adopt(sqlite3* db) {
  Close();
  db_ = db;
  if (!Prepare(db)) return false;
  return RefreshTables();
}

bool CExcelDatabase::AdoptShared(std::shared_ptr<sqlite3> db) {
  Close();
  db_ = db.get();
  shared_ = std::move(db);
  // Registering a function again fails while another holder's statement is active on the
  // connection, and would change the connection under it.
  if (!HasNowFunction(db_) && !Prepare(db_)) return false;
  return RefreshTables();
}

bool CExcelDatabase::HasNowFunction(sqlite3* db) {
  Statement statement;
  SqlError error;
  return statement.Prepare(db, "SELECT Now()", {}, &error);
}

bool CExcelDatabase::CheckQuery(std::string_view sql) {
  Statement statement;
  SqlError error;
  if (!statement.Prepare(db_, sql, {}, &error, budget_)) return Fail(error.message);
  return true;
}

bool CExcelDatabase::RefreshTables() {
  table_names_.clear();
  return GetTables(&table_names_);
}

bool CExcelDatabase::GetTables(std::vector<std::string>* names) {
  Statement statement;
  SqlError error;
  if (!statement.Prepare(db_,
                         "SELECT name FROM sqlite_master WHERE type = 'table' AND "
                         "name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
                         {}, &error, budget_)) {
    return Fail(error.message);
  }
  std::vector<std::string> found;
  for (;;) {
    switch (statement.Next(&error)) {
      case Statement::Step::kRow:
        found.push_back(statement.ColumnText(0));
        continue;
      case Statement::Step::kDone:
        names->insert(names->end(), found.begin(), found.end());
        return true;
      case Statement::Step::kError:
        return Fail(error.message);
    }
  }
}

bool CExcelDatabase::GetFields(std::string_view table, std::vector<std::string>* names) {
  // Compiling a query on the table is enough to learn its columns; nothing is read.
  Statement statement;
  SqlError error;
  if (!statement.Prepare(db_, "SELECT * FROM " + QuoteIdentifier(table), {}, &error, budget_)) {
    return Fail(error.message);
  }
  int count = statement.column_count();
  if (count == 0) return Fail("the table has no columns");
  for (int i = 0; i < count && static_cast<size_t>(i) < kMaxFields; ++i) {
    names->push_back(statement.ColumnName(i));
  }
  return true;
}

bool CExcelDatabase::ExecuteWithParam(std::string_view sql, const SqlParams& params) {
  Statement statement;
  SqlError error;
  if (!statement.Prepare(db_, sql, params, &error, budget_)) return Fail(error.message);
  for (;;) {
    switch (statement.Next(&error)) {
      case Statement::Step::kRow:
        continue;
      case Statement::Step::kDone:
        return true;
      case Statement::Step::kError:
        return Fail(error.message);
    }
  }
}

bool CExcelDatabase::CreateTable(std::string_view table, std::string_view columns) {
  std::string sql = "CREATE TABLE " + QuoteIdentifier(table) + " (";
  sql += columns;
  sql += ')';
  return ExecuteWithParam(sql);
}

bool CExcelDatabase::InsertRow(std::string_view table, std::string_view columns,
                               std::string_view values, const SqlParams& params) {
  std::string sql = "INSERT INTO " + QuoteIdentifier(table) + " (";
  sql += columns;
  sql += ") VALUES(";
  sql += values;
  sql += ')';
  return ExecuteWithParam(sql, params);
}

bool CExcelDatabase::DeleteAllUsers() { return ExecuteWithParam("DELETE FROM USER_TB"); }
bool CExcelDatabase::DeleteAllAddresses() { return ExecuteWithParam("DELETE FROM ADDRESS_TB"); }
bool CExcelDatabase::DeleteAllGroups() { return ExecuteWithParam("DELETE FROM GROUPADDR_TB"); }

bool CExcelDatabase::BeginTrans() { return ExecuteWithParam("BEGIN"); }
bool CExcelDatabase::CommitTrans() { return ExecuteWithParam("COMMIT"); }
bool CExcelDatabase::Rollback() { return ExecuteWithParam("ROLLBACK"); }

}  // namespace parley
