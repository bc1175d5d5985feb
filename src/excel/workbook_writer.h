// Writing small workbooks (.xlsx, .ods, .csv): test fixtures, the benchmark and the sample
// workbook of the sandbox. Text is UTF-8.
#ifndef PARLEY_EXCEL_WORKBOOK_WRITER_H_
#define PARLEY_EXCEL_WORKBOOK_WRITER_H_

#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace parley {

// A date as a serial number of the 1900 date system (see FormatDate); the fraction is the time.
struct WorkbookDate {
  double serial = 0;
};

// One cell's value: text, a number, or a date.
using WorkbookValue = std::variant<std::string, double, WorkbookDate>;

// One sheet: rows from the top, cells from column A; an empty optional is an empty cell.
struct SheetData {
  std::string name;
  std::vector<std::vector<std::optional<WorkbookValue>>> rows;
};

struct XlsxOptions {
  bool shared_strings = true;     // text in xl/sharedStrings.xml, else inline strings
  bool absolute_targets = false;  // relationship targets as "/xl/worksheets/sheet1.xml"
};

// One file of a zip archive.
struct ZipEntry {
  std::string name;
  std::string data;
  bool stored = false;  // kept uncompressed (an OpenDocument "mimetype")
};

// Writes entries, in order, as a new zip archive at path (replacing any file there).
// Returns false with a readable reason in *error on failure.
bool WriteZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries,
              std::string* error);

// Writes the sheets as an Office Open XML workbook. Dates get the built-in date format 14.
bool WriteXlsx(const std::filesystem::path& path, const std::vector<SheetData>& sheets,
               const XlsxOptions& options, std::string* error);

// Writes the sheets as an OpenDocument spreadsheet.
bool WriteOds(const std::filesystem::path& path, const std::vector<SheetData>& sheets,
              std::string* error);

// Writes the sheet as comma-separated values (UTF-8, CRLF, quotes where needed); numbers as
// FormatNumber, dates as FormatDate write them.
bool WriteCsv(const std::filesystem::path& path, const SheetData& sheet, std::string* error);

}  // namespace parley

#endif  // PARLEY_EXCEL_WORKBOOK_WRITER_H_
