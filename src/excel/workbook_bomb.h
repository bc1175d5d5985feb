// Crafted workbooks that are small on disk and huge to load: the shapes a load budget must refuse.
// Tests, the fuzzer's seeds and the load test build them instead of keeping large files.
#ifndef PARLEY_EXCEL_WORKBOOK_BOMB_H_
#define PARLEY_EXCEL_WORKBOOK_BOMB_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace parley {

// A zip entry whose data is head, then body repeat times, then tail. Each piece is deflated once
// on its own and the body's deflated bytes are written repeat times, so that gigabytes of data
// take megabytes on disk and no time to write. stored keeps it uncompressed (an OpenDocument
// "mimetype"), which is only for small data.
struct RepeatedEntry {
  std::string name;
  std::string head;
  std::string body;
  uint64_t repeat = 0;
  std::string tail;
  bool stored = false;
};

// Writes the entries as a zip archive at path. The data of an entry stays below 4 GiB.
// Returns false with a readable reason in *error on failure.
bool WriteRepeatedZip(const std::filesystem::path& path, const std::vector<RepeatedEntry>& entries,
                      std::string* error);

// An .ods whose one sheet holds a row repeated rows times, of one cell of cell_bytes letters
// repeated columns times (repeat counts may be anything up to 4,294,967,295).
bool WriteOdsRepeatBomb(const std::filesystem::path& path, uint64_t cell_bytes, uint32_t columns,
                        uint32_t rows, std::string* error);

// An .ods of sheets sheets named S1, S2..., each a one-cell header row and a row whose cells
// are in its first and its 256th column: each sheet's table must widen once.
bool WriteOdsWideningSheets(const std::filesystem::path& path, uint32_t sheets, std::string* error);

// An .xlsx whose one shared string of string_bytes letters fills cells cells of its one sheet,
// 16,384 to a row.
bool WriteXlsxSharedStringBomb(const std::filesystem::path& path, uint64_t string_bytes,
                               uint64_t cells, std::string* error);

// An .xlsx of sheets sheets that all point at one worksheet part of cells numbers, 16,384 to a
// row.
bool WriteXlsxSharedPartBomb(const std::filesystem::path& path, uint32_t sheets, uint64_t cells,
                             std::string* error);

// An .xlsx whose one cell carries an attribute of attribute_bytes letters: a start tag the XML
// parser must hold whole.
bool WriteXlsxAttributeBomb(const std::filesystem::path& path, uint64_t attribute_bytes,
                            std::string* error);

}  // namespace parley

#endif  // PARLEY_EXCEL_WORKBOOK_BOMB_H_
