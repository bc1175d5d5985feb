// Fuzzes the workbook readers through the Excel command's workbook object: the bytes are written
// to a file, opened as a workbook and listed, and a distinct count runs on the first column of
// every sheet, as the EXCEL command does.
//
// Input: the first byte picks the file name's extension (.xlsx, .ods, .xls or .csv); the rest is
// the file. The seeds named bomb_* are small zip bombs (repeated cells, one long cell repeated
// over every column, huge repeat counts, cells naming one long shared string, sheets sharing one
// part, a long start tag, many sheets whose tables widen) that the load budget must refuse or
// cut, or that must load at once.
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/db_exception.h"
#include "db/excel_database.h"
#include "sheets/excel_workbook.h"
#include "excel/workbook_loader.h"
#include "fuzz_check.h"

namespace {

// A scratch directory for the workbook file, removed at exit.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/parley_workbook_fuzz.XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern) != nullptr);
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

constexpr std::array<const char*, 4> kExtensions = {".xlsx", ".ods", ".xls", ".csv"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static ScratchDir scratch;
  const std::filesystem::path file =
      scratch.path() / (std::string("book") + kExtensions[data[0] % 4]);
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data) + 1, static_cast<std::streamsize>(size - 1));
    FUZZ_CHECK(out.good());
  }

  // Limits small enough that a load breaking them shows as a failure of the fuzzer's memory
  // limits (scripts/fuzz.sh), while the seeds' bombs are refused by them.
  parley::LoadLimits limits;
  limits.read_bytes = 16u << 20;
  limits.stored_cells = 1u << 20;
  limits.stored_bytes = 16u << 20;
  limits.shared_string_bytes = 16u << 20;
  limits.xml_parser_bytes = 4u << 20;
  parley::WorkbookCache cache(limits);
  parley::ExcelWorkbook workbook;
  try {
    workbook.OpenWorkbook(file, &cache);
    (void)workbook.ListSheets();
    const std::vector<std::string> tables = workbook.database()->table_names();
    for (const std::string& table : tables) {
      std::vector<std::string> columns;
      workbook.database()->GetFields(table, &columns);
      if (columns.empty()) continue;
      (void)workbook.CountDistinct(table, columns[0]);
    }
  } catch (const parley::CDBException&) {
    // a file that is no workbook, or a sheet the queries cannot read: reported to the UI
  }
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  return 0;
}
