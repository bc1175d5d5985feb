// Excel 5-2003 workbooks (.xls): the BIFF5 or BIFF8 workbook stream out of its compound file,
// read in process. The workbook globals give the sheets, the shared strings, the code page, the
// date system and the number formats; each worksheet's cell records are then indexed, put in row
// order when the writer did not keep it, and handed to the sink as text formatted like the .xlsx
// reader's (dates and times through cell_format, booleans as TRUE/FALSE, errors left empty). A
// formula stored without its result (as xlwt writes them) is worked out when it is made of
// constants and operators alone (biff_formula.h).
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "excel/biff_formula.h"
#include "excel/biff_records.h"
#include "excel/biff_text.h"
#include "excel/cell_format.h"
#include "excel/compound_file.h"
#include "excel/workbook_readers.h"

namespace parley {
namespace {

using biff::Record;
using biff::RecordReader;
using biff::SpanReader;

constexpr const char* kDamaged = "the workbook is damaged or not an Excel workbook";
constexpr const char* kEncrypted = "the workbook is password-protected";
// Stream offsets must fit in 31 bits (the cell index keeps a flag in the 32nd).
constexpr size_t kMaxFileBytes = size_t{1} << 30;

// The built-in number formats that show numbers, not dates, whatever code a FORMAT record gives
// them (Excel 5 writes a FORMAT record for each, in the language of the installation: the
// German "Standard" for General would otherwise read as a date code).
bool IsBuiltInNumberFormat(int id) {
  return (id >= 0 && id <= 13) || (id >= 37 && id <= 44) || id == 48 || id == 49;
}

struct SheetEntry {
  std::string name;
  uint32_t offset = 0;  // of the sheet's BOF record in the stream
};

// One cell of a sheet, found while walking its records: where its value is.
struct CellEntry {
  uint32_t key;       // row << 16 | column
  uint32_t position;  // of the value's record in the stream, or of a MULRK item with kRkItem
};
constexpr uint32_t kRkItem = uint32_t{1} << 31;

class Workbook {
 public:
  explicit Workbook(std::string stream) : stream_(std::move(stream)) {}

  bool ReadGlobals(std::string* error);
  bool ReadSheets(SheetSink& sink, std::string* error);

 private:
  bool biff8() const { return version_ != biff::kBiff5; }
  bool ReadString(SpanReader& reader, size_t length_size, std::string* out) {
    return biff8() ? biff::ReadUnicodeString(reader, length_size, out)
                   : biff::ReadByteString(reader, length_size, decoder_, out);
  }
  void ReadSharedStrings(const Record& sst);
  bool IndexSheet(const SheetEntry& sheet, std::vector<CellEntry>* cells, bool* worksheet,
                  size_t* budget);
  // The text of one cell; false when the cell refers to a shared string that is not there.
  bool CellText(const CellEntry& cell, std::string* text);
  std::string NumberText(double value, uint16_t xf) const {
    const bool date = xf < date_xf_.size() && date_xf_[xf];
    return date ? FormatDate(value, date1904_) : FormatNumber(value);
  }
  static std::string BooleanText(bool value) { return value ? "TRUE" : "FALSE"; }
  // The text of a FORMULA record whose result was stored as an empty text: empty, unless its
  // tokens are constants and operators alone, whose value is worked out (a writer such as xlwt
  // stores that result for every formula and leaves the value to whoever opens the file).
  std::string UnstoredResultText(std::string_view formula, uint16_t xf);

  const std::string stream_;
  uint16_t version_ = biff::kBiff8;
  bool date1904_ = false;
  CodePageDecoder decoder_;
  // The shared strings end to end, and where each ends: four bytes a string, however many a
  // crafted table holds.
  std::string shared_text_;
  std::vector<uint32_t> shared_ends_;
  std::vector<bool> date_xf_;
  std::vector<SheetEntry> sheets_;
};

bool Workbook::ReadGlobals(std::string* error) {
  RecordReader records(stream_, 0);
  Record record;
  if (!records.Next(&record)) {
    *error = kDamaged;
    return false;
  }
  if (record.id == biff::kBof2 || record.id == biff::kBof3 || record.id == biff::kBof4) {
    *error = "the workbook is in the format of Excel 4 or older; save it again as .xlsx";
    return false;
  }
  if (record.id != biff::kBof || record.data.size() < biff::kBofSize) {
    *error = kDamaged;
    return false;
  }
  version_ = Le16(record.data, 0);
  // Records read once the code page is known, whatever their order.
  std::vector<Record> bound_sheets, formats;
  std::vector<uint16_t> xf_formats;
  bool ended = false;
  while (!ended && records.Next(&record)) {
    switch (record.id) {
      case biff::kEof:
        ended = true;
        break;
      case biff::kFilePass:
        *error = kEncrypted;
        return false;
      case biff::kCodePage:
        if (record.data.size() >= 2) decoder_.SetCodePage(Le16(record.data, 0));
        break;
      case biff::kDateMode:
        if (record.data.size() >= 2) date1904_ = Le16(record.data, 0) == 1;
        break;
      case biff::kBoundSheet:
        bound_sheets.push_back(record);
        break;
      case biff::kFormat:
        formats.push_back(record);
        break;
      case biff::kXf:
        if (record.data.size() >= biff::kXfMinSize) {
          xf_formats.push_back(Le16(record.data, biff::kXfFormatAt));
        }
        break;
      case biff::kSst:
        if (biff8()) ReadSharedStrings(record);
        break;
    }
  }
  if (!ended) {
    *error = kDamaged;
    return false;
  }
  std::unordered_map<uint16_t, std::string> codes;
  for (const Record& format : formats) {
    if (format.data.size() < 2) continue;
    SpanReader reader(stream_, format);
    std::string code;
    if (reader.Skip(2) && ReadString(reader, biff8() ? 2 : 1, &code)) {
      codes[Le16(format.data, 0)] = std::move(code);
    }
  }
  date_xf_.reserve(xf_formats.size());
  for (uint16_t id : xf_formats) {
    auto code = codes.find(id);
    date_xf_.push_back(!IsBuiltInNumberFormat(id) &&
                       IsDateStyle(id, code == codes.end() ? std::string() : code->second));
  }
  for (const Record& bound : bound_sheets) {
    // Chart sheets, Excel 4 macro sheets and VB modules hold no cells to list.
    if (bound.data.size() < biff::kBoundSheetNameAt ||
        static_cast<uint8_t>(bound.data[biff::kBoundSheetNameAt - 1]) != biff::kWorksheetType) {
      continue;
    }
    SheetEntry sheet;
    sheet.offset = Le32(bound.data, 0);
    SpanReader reader(stream_, bound);
    if (!reader.Skip(biff::kBoundSheetNameAt) || !ReadString(reader, 1, &sheet.name)) {
      *error = "the workbook is damaged: sheet " + std::to_string(sheets_.size() + 1) +
               " has no readable name";
      return false;
    }
    sheets_.push_back(std::move(sheet));
  }
  return true;
}

// The shared strings: a total (4) and a count (4), then the strings, running on through CONTINUE
// records. A table cut short keeps the strings read; a cell that refers past them fails its sheet.
void Workbook::ReadSharedStrings(const Record& sst) {
  SpanReader reader(stream_, sst);
  uint32_t total, count;
  if (!reader.U32(&total) || !reader.U32(&count)) return;
  // Each string takes at least three bytes of the stream.
  shared_ends_.reserve(std::min<size_t>(count, stream_.size() / 3));
  // The text is at most twice the stream's bytes, which are under 1 GiB.
  for (uint32_t i = 0; i < count; ++i) {
    if (!biff::ReadUnicodeString(reader, 2, &shared_text_)) return;
    shared_ends_.push_back(static_cast<uint32_t>(shared_text_.size()));
  }
}

// Walks a sheet's records and lists where each cell's value is. Records of embedded charts
// (a BOF-EOF substream inside the sheet) are passed over. The sheets of a sound workbook do not
// overlap: *budget, the bytes the sheets may still walk together, keeps crafted sheets that do
// from walking the stream once per sheet.
bool Workbook::IndexSheet(const SheetEntry& sheet, std::vector<CellEntry>* cells, bool* worksheet,
                          size_t* budget) {
  RecordReader records(stream_, sheet.offset);
  Record record;
  if (!records.Next(&record) || record.id != biff::kBof || record.data.size() < biff::kBofSize) {
    return false;
  }
  *worksheet = Le16(record.data, 2) == biff::kWorksheetSubstream;
  if (!*worksheet) return true;
  int depth = 1;
  bool string_due = false;  // a FORMULA with a text result waits for its STRING record
  uint32_t string_key = 0;
  const auto key = [](std::string_view data) {
    return static_cast<uint32_t>(Le16(data, 0)) << 16 | Le16(data, 2);
  };
  const auto add = [cells](uint32_t cell_key, size_t position) {
    cells->push_back({cell_key, static_cast<uint32_t>(position)});
  };
  while (depth > 0 && records.Next(&record)) {
    if (records.offset() - sheet.offset > *budget) return false;
    const std::string_view data = record.data;
    switch (record.id) {
      case biff::kBof:
        ++depth;
        continue;
      case biff::kEof:
        --depth;
        continue;
    }
    if (depth != 1) continue;
    switch (record.id) {
      case biff::kString:
        if (string_due) add(string_key, record.offset);
        string_due = false;
        break;
      case biff::kFormula:
        string_due = false;
        if (data.size() < biff::kFormulaMinSize) break;
        if (Le16(data, biff::kCellHeaderSize + 6) == 0xFFFF &&
            static_cast<uint8_t>(data[biff::kCellHeaderSize]) == biff::kResultString) {
          string_due = true;
          string_key = key(data);
        } else {
          add(key(data), record.offset);
        }
        break;
      case biff::kMulRk: {
        string_due = false;
        if (data.size() < biff::kMulRkHeaderSize + 2) break;
        const size_t items = (data.size() - biff::kMulRkHeaderSize - 2) / biff::kMulRkItemSize;
        const uint32_t row = Le16(data, 0);
        const uint32_t first = Le16(data, 2);
        for (size_t i = 0; i < items && first + i <= 0xFFFF; ++i) {
          const size_t item = record.offset + 4 + biff::kMulRkHeaderSize + i * biff::kMulRkItemSize;
          cells->push_back({row << 16 | static_cast<uint32_t>(first + i),
                            static_cast<uint32_t>(item) | kRkItem});
        }
        break;
      }
      case biff::kLabelSst:
      case biff::kLabel:
      case biff::kRString:
      case biff::kNumber:
      case biff::kRk:
      case biff::kBoolErr:
        string_due = false;
        if (data.size() >= biff::kCellHeaderSize) add(key(data), record.offset);
        break;
    }
  }
  *budget -= records.offset() - sheet.offset;
  return !records.damaged();
}

bool Workbook::CellText(const CellEntry& cell, std::string* text) {
  text->clear();
  if (cell.position & kRkItem) {
    const size_t at = cell.position & ~kRkItem;
    *text = NumberText(biff::RkValue(Le32(stream_, at + 2)), Le16(stream_, at));
    return true;
  }
  RecordReader records(stream_, cell.position);
  Record record;
  records.Next(&record);  // read when indexed
  const std::string_view data = record.data;
  const uint16_t xf = record.id == biff::kString ? 0 : Le16(data, 4);
  switch (record.id) {
    case biff::kNumber:
      if (data.size() >= biff::kNumberSize) {
        *text = NumberText(biff::F64(data, biff::kCellHeaderSize), xf);
      }
      return true;
    case biff::kRk:
      if (data.size() >= biff::kRkSize) {
        *text = NumberText(biff::RkValue(Le32(data, biff::kCellHeaderSize)), xf);
      }
      return true;
    case biff::kBoolErr:
      // An error value lists as an empty cell, as in .xlsx files.
      if (data.size() >= biff::kBoolErrSize && data[biff::kCellHeaderSize + 1] == 0) {
        *text = BooleanText(data[biff::kCellHeaderSize] != 0);
      }
      return true;
    case biff::kFormula: {
      const uint8_t kind = static_cast<uint8_t>(data[biff::kCellHeaderSize]);
      if (Le16(data, biff::kCellHeaderSize + 6) != 0xFFFF) {
        *text = NumberText(biff::F64(data, biff::kCellHeaderSize), xf);
      } else if (kind == biff::kResultBoolean) {
        *text = BooleanText(data[biff::kCellHeaderSize + 2] != 0);
      } else if (kind == biff::kResultEmpty) {
        *text = UnstoredResultText(data, xf);
      }
      return true;  // an error lists as an empty cell
    }
    case biff::kLabelSst: {
      if (data.size() < biff::kLabelSstSize) return true;
      const uint32_t index = Le32(data, biff::kCellHeaderSize);
      if (index >= shared_ends_.size()) return false;
      const uint32_t begin = index == 0 ? 0 : shared_ends_[index - 1];
      text->assign(shared_text_, begin, shared_ends_[index] - begin);
      return true;
    }
    case biff::kString: {
      SpanReader reader(stream_, record);
      (void)ReadString(reader, 2, text);
      return true;
    }
    default: {  // LABEL, RSTRING
      SpanReader reader(stream_, record);
      (void)(reader.Skip(biff::kCellHeaderSize) && ReadString(reader, 2, text));
      return true;
    }
  }
}

std::string Workbook::UnstoredResultText(std::string_view formula, uint16_t xf) {
  if (formula.size() < biff::kFormulaTokensAt) return {};
  const size_t size = Le16(formula, biff::kFormulaTokensSizeAt);
  if (size > formula.size() - biff::kFormulaTokensAt) return {};
  const std::optional<biff::FormulaValue> value = biff::EvaluateConstantFormula(
      formula.substr(biff::kFormulaTokensAt, size), !biff8(), decoder_);
  if (!value) return {};
  if (const double* number = std::get_if<double>(&*value)) return NumberText(*number, xf);
  if (const bool* boolean = std::get_if<bool>(&*value)) return BooleanText(*boolean);
  if (const std::string* text = std::get_if<std::string>(&*value)) return *text;
  return {};  // an error
}

bool Workbook::ReadSheets(SheetSink& sink, std::string* error) {
  std::vector<CellEntry> cells;
  std::string text;
  size_t budget = stream_.size();
  for (size_t i = 0; i < sheets_.size(); ++i) {
    const SheetEntry& sheet = sheets_[i];
    const std::string damaged =
        "the workbook is damaged: sheet " + std::to_string(i + 1) + " cannot be read";
    cells.clear();
    bool worksheet = true;
    if (!IndexSheet(sheet, &cells, &worksheet, &budget)) {
      *error = damaged;
      return false;
    }
    if (!worksheet) continue;
    // Writers keep cells in row order as a rule, not always; of two records for one cell the
    // later counts.
    const auto by_key = [](const CellEntry& a, const CellEntry& b) { return a.key < b.key; };
    if (!std::is_sorted(cells.begin(), cells.end(), by_key)) {
      std::stable_sort(cells.begin(), cells.end(), by_key);
    }
    const std::string stopped = "reading stopped at sheet \"" + sheet.name + "\"";
    if (!sink.BeginSheet(sheet.name)) {
      *error = stopped;
      return false;
    }
    for (size_t c = 0; c < cells.size(); ++c) {
      if (c + 1 < cells.size() && cells[c + 1].key == cells[c].key) continue;
      if (!CellText(cells[c], &text)) {
        *error = damaged;
        return false;
      }
      if (text.empty()) continue;
      if (!sink.Cell(cells[c].key >> 16, cells[c].key & 0xFFFF, text)) {
        *error = stopped;
        return false;
      }
    }
    if (!sink.EndSheet()) {
      *error = stopped;
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadXls(const std::filesystem::path& path, SheetSink& sink, LoadBudget& budget,
             std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path.string();
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > kMaxFileBytes) {
    *error = "the workbook is larger than 1 GiB";
    return false;
  }
  // The whole file is read and the workbook stream taken out of it: both are held at once.
  if (!budget.ChargeRead(static_cast<uint64_t>(size))) {
    *error = budget.reason();
    return false;
  }
  in.seekg(0);
  std::string file(static_cast<size_t>(size), '\0');
  if (!in.read(file.data(), size)) {
    *error = "cannot read " + path.string();
    return false;
  }
  std::string stream;
  switch (ReadCompoundStream(file, {"Workbook", "Book"}, &stream)) {
    case CompoundStatus::kFound:
      break;
    case CompoundStatus::kMissing:
      // Most often an encrypted .xlsx, which Office keeps in a compound file too.
      *error = "the workbook is password-protected or not an Excel workbook";
      return false;
    case CompoundStatus::kNotCompound:
      *error = "not an Excel workbook";
      return false;
    case CompoundStatus::kDamaged:
      *error = kDamaged;
      return false;
  }
  file.clear();
  file.shrink_to_fit();
  Workbook workbook(std::move(stream));
  return workbook.ReadGlobals(error) && workbook.ReadSheets(sink, error);
}

}  // namespace parley
