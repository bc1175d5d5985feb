// Test helpers: read an SQLite file straight through the C API, bypassing the database layer, so
// tests see exactly what is stored (UTF-8).
#ifndef PARLEY_DB_TEST_UTIL_H_
#define PARLEY_DB_TEST_UTIL_H_

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace parley::testing {

// Runs sql on the file at path (opened read-write, never created) and returns every row, each
// column as UTF-8 text ("<NULL>" for NULL). Throws std::runtime_error on an error.
inline std::vector<std::vector<std::string>> RawQuery(const std::filesystem::path& path,
                                                      const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + path.string());
  }
  std::vector<std::vector<std::string>> rows;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(db);
    sqlite3_close(db);
    throw std::runtime_error(message);
  }
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      const unsigned char* text = sqlite3_column_text(stmt, i);
      row.push_back(text == nullptr ? "<NULL>" : reinterpret_cast<const char*>(text));
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  std::string message = sqlite3_errmsg(db);
  sqlite3_close(db);
  if (rc != SQLITE_DONE) throw std::runtime_error(message);
  return rows;
}

inline std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace parley::testing

#endif  // PARLEY_DB_TEST_UTIL_H_
