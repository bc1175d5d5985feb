// Writing .xls workbooks (BIFF8 in a compound file) for tests and the benchmark, and the pieces
// tests use to build workbooks of their own: records, UTF-16 text and the compound file.
#ifndef PARLEY_EXCEL_XLS_WRITER_H_
#define PARLEY_EXCEL_XLS_WRITER_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "excel/workbook_writer.h"

namespace parley {

// A little-endian integer of size bytes.
std::string LeBytes(uint64_t value, size_t size);

// One BIFF record: id, length, data.
std::string BiffRecord(uint16_t id, std::string_view data);

// UTF-8 text as UTF-16LE.
std::string Utf16Bytes(std::string_view utf8);

// A compound file holding one stream at the top of its directory: in the mini stream when under
// 4096 bytes, else in sectors of its own; the sector table grows into DIFAT sectors when it needs
// more than the header lists. Sectors of 512 bytes (sector_shift 9, version 3) or 4096 (12,
// version 4).
std::string CompoundFileBytes(std::string_view stream_name, std::string_view stream,
                              int sector_shift = 9);

// The sheets as a BIFF8 workbook stream: text in the shared strings (split over CONTINUE records
// when long), numbers as NUMBER records, dates under the built-in date format 14.
std::string XlsWorkbookStream(const std::vector<SheetData>& sheets);

// Writes the sheets as an .xls file (the stream above as "Workbook").
bool WriteXls(const std::filesystem::path& path, const std::vector<SheetData>& sheets,
              std::string* error);

}  // namespace parley

#endif  // PARLEY_EXCEL_XLS_WRITER_H_
