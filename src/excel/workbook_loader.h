// Reading a workbook file into an in-memory SQLite database that the Excel commands query.
#ifndef PARLEY_EXCEL_WORKBOOK_LOADER_H_
#define PARLEY_EXCEL_WORKBOOK_LOADER_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "excel/load_budget.h"

struct sqlite3;

namespace parley {

// Reads the workbook at path (.xlsx/.xlsm, .ods, .xls or .csv, told by its first bytes and then
// its extension) into a new in-memory database: one table per sheet, in workbook order, named
// "<sheet>$"; a sheet whose name has a space also gets a view "'<sheet>$'". The first row gives
// the column names (an empty header cell is "F<column number>"); every value is TEXT, empty cells
// NULL. Afterwards the connection only reads: SELECT, reading and functions are authorised,
// nothing else, and no database can be attached.
// The load stays within limits (see load_budget.h): a workbook that would go over them is refused
// with the budget's reason, which names the limit.
// Returns null with a readable reason (UTF-8) in *error when the file cannot be read.
std::shared_ptr<sqlite3> LoadWorkbook(const std::filesystem::path& path, const LoadLimits& limits,
                                      std::string* error);
// The same within the default limits.
std::shared_ptr<sqlite3> LoadWorkbook(const std::filesystem::path& path, std::string* error);

// Keeps the database of the last workbook loaded, so that commands on an unchanged file do not
// read it again.
class WorkbookCache {
 public:
  // Workbooks are loaded within limits.
  explicit WorkbookCache(const LoadLimits& limits = LoadLimits()) : limits_(limits) {}

  // The database of the workbook at path: the cached one while the path, size and modification
  // time are those it was loaded from, else a fresh LoadWorkbook (which then replaces the cache).
  // Null with the reason in *error when loading fails (the cache is then emptied). A rewrite that
  // keeps both the size and the modification time (within the file system's time resolution) is
  // not noticed.
  std::shared_ptr<sqlite3> Open(const std::filesystem::path& path, std::string* error);

  // Drops the cached database.
  void Clear();

  // Makes every later load end as soon as *stop reads true (see LoadLimits::stop).
  void SetStop(const std::atomic<bool>* stop) { limits_.stop = stop; }

 private:
  LoadLimits limits_;
  std::filesystem::path path_;
  uintmax_t size_ = 0;
  std::filesystem::file_time_type mtime_{};
  std::shared_ptr<sqlite3> db_;
};

}  // namespace parley

#endif  // PARLEY_EXCEL_WORKBOOK_LOADER_H_
