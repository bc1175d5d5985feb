// The readers of each workbook format. Each hands the cells of every sheet to a SheetSink and
// returns false, with a readable reason (UTF-8) in *error, when the file cannot be read. Each
// charges what it reads to the load budget and stops once the budget is exceeded (the budget
// then holds the reason); it keeps no cell text longer than the budget's GatheredCellBytes.
#ifndef PARLEY_EXCEL_WORKBOOK_READERS_H_
#define PARLEY_EXCEL_WORKBOOK_READERS_H_

#include <filesystem>
#include <string>

#include "excel/load_budget.h"
#include "excel/sheet_sink.h"

namespace parley {

// Office Open XML (.xlsx, .xlsm): streamed from the zip, never a whole part in memory. A
// worksheet part is read once: a later sheet pointing at a part already read is skipped.
bool ReadXlsx(const std::filesystem::path& path, SheetSink& sink, LoadBudget& budget,
              std::string* error);

// OpenDocument spreadsheet (.ods): streamed from the zip like ReadXlsx.
// A repeated cell is expanded over at most the budget's stored columns from its first.
bool ReadOds(const std::filesystem::path& path, SheetSink& sink, LoadBudget& budget,
             std::string* error);

// Excel 5-2003 (.xls): the BIFF5 or BIFF8 workbook stream of a compound file, read in process.
// The workbook stream is charged as read.
bool ReadXls(const std::filesystem::path& path, SheetSink& sink, LoadBudget& budget,
             std::string* error);

// Comma-separated values: one sheet named after the file without its extension. RFC 4180
// quoting, CRLF or LF, an optional UTF-8 byte order mark; a file that is not valid UTF-8 is read
// as CP949. A .txt file whose first line holds a tab is tab-separated. UTF-16 text is refused.
// A file larger than the budget's read bytes is refused before it is read.
bool ReadCsv(const std::filesystem::path& path, SheetSink& sink, LoadBudget& budget,
             std::string* error);

}  // namespace parley

#endif  // PARLEY_EXCEL_WORKBOOK_READERS_H_
