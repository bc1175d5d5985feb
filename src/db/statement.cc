#include "db/statement.h"

#include <sqlite3.h>

#include <climits>

#include "text/cp949.h"

namespace parley {
namespace {

SqlError Misuse(std::string message) { return SqlError{SQLITE_MISUSE, std::move(message)}; }

// Binds one value to marker index (from 1). Returns SQLite's result code.
int Bind(sqlite3_stmt* stmt, int index, const SqlParam& param) {
  if (const auto* number = std::get_if<int64_t>(&param)) {
    return sqlite3_bind_int64(stmt, index, *number);
  }
  if (const auto* text = std::get_if<std::string>(&param)) {
    std::string utf8 = AnsiToUtf8(*text);
    return sqlite3_bind_text64(stmt, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT,
                               SQLITE_UTF8);
  }
  return sqlite3_bind_null(stmt, index);
}

}  // namespace

SqlError LastError(sqlite3* db) {
  if (db == nullptr) return Misuse("no database is open");
  return SqlError{sqlite3_errcode(db) & 0xff, Utf8ToAnsi(sqlite3_errmsg(db))};
}

Statement::~Statement() { Finalize(); }

void Statement::Finalize() {
  if (stmt_ != nullptr) sqlite3_finalize(stmt_);
  stmt_ = nullptr;
  db_ = nullptr;
}

bool Statement::Prepare(sqlite3* db, std::string_view sql, const SqlParams& params, SqlError* error,
                        const QueryBudget& budget) {
  Finalize();
  if (db == nullptr) {
    *error = Misuse("no database is open");
    return false;
  }
  // SQLite would silently end the text at a NUL byte and run what comes before it.
  if (sql.find('\0') != std::string_view::npos) {
    *error = Misuse("the statement holds a NUL byte");
    return false;
  }
  std::string utf8 = AnsiToUtf8(sql);
  if (utf8.size() > INT_MAX) {
    *error = Misuse("the statement is too long");
    return false;
  }
  const char* tail = nullptr;
  sqlite3_stmt* stmt = nullptr;
  BudgetGuard guard(db, budget);
  if (sqlite3_prepare_v2(db, utf8.data(), static_cast<int>(utf8.size()), &stmt, &tail) !=
      SQLITE_OK) {
    *error = guard.exceeded() ? SqlError{SQLITE_INTERRUPT, guard.Reason()} : LastError(db);
    return false;
  }
  if (stmt == nullptr) {
    *error = Misuse("the text holds no statement");
    return false;
  }
  // Exactly one statement runs: anything after it other than blanks, ";" and comments is refused
  // rather than ignored, so a second statement can never hide in the text.
  const char* end = utf8.data() + utf8.size();
  while (tail != nullptr && tail < end) {
    sqlite3_stmt* extra = nullptr;
    const char* next = nullptr;
    int rc = sqlite3_prepare_v2(db, tail, static_cast<int>(end - tail), &extra, &next);
    if (extra != nullptr || rc != SQLITE_OK) {
      sqlite3_finalize(extra);
      sqlite3_finalize(stmt);
      *error = Misuse("the text holds more than one statement");
      return false;
    }
    if (next == tail) break;
    tail = next;
  }
  int markers = sqlite3_bind_parameter_count(stmt);
  if (static_cast<size_t>(markers) != params.size()) {
    sqlite3_finalize(stmt);
    *error = Misuse("the statement has " + std::to_string(markers) + " parameter markers but " +
                    std::to_string(params.size()) + " values were given");
    return false;
  }
  for (int i = 0; i < markers; ++i) {
    if (Bind(stmt, i + 1, params[static_cast<size_t>(i)]) != SQLITE_OK) {
      *error = LastError(db);
      sqlite3_finalize(stmt);
      return false;
    }
  }
  db_ = db;
  stmt_ = stmt;
  budget_ = budget;
  return true;
}

Statement::Step Statement::Next(SqlError* error) {
  if (stmt_ == nullptr) {
    *error = Misuse("no statement is open");
    return Step::kError;
  }
  BudgetGuard guard(db_, budget_);
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return Step::kRow;
  if (rc == SQLITE_DONE) return Step::kDone;
  *error = guard.exceeded() ? SqlError{SQLITE_INTERRUPT, guard.Reason()} : LastError(db_);
  return Step::kError;
}

int Statement::column_count() const { return stmt_ == nullptr ? 0 : sqlite3_column_count(stmt_); }

std::string Statement::ColumnText(int i) const {
  const unsigned char* text = sqlite3_column_text(stmt_, i);
  if (text == nullptr) return std::string();
  int size = sqlite3_column_bytes(stmt_, i);
  return Utf8ToAnsi(
      std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(size)));
}

std::string_view Statement::ColumnUtf8(int i, bool* is_null) const {
  const unsigned char* text = sqlite3_column_text(stmt_, i);
  *is_null = text == nullptr;
  if (text == nullptr) return {};
  return {reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(stmt_, i))};
}

std::string Statement::ColumnName(int i) const {
  const char* name = sqlite3_column_name(stmt_, i);
  return name == nullptr ? std::string() : Utf8ToAnsi(name);
}

}  // namespace parley
