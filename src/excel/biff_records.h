// The records of a BIFF5/BIFF8 workbook stream (Excel 5 to 2003): their ids and fixed sizes, a
// walk over the records, and a reader for a record together with the CONTINUE records that carry
// its overflow. Every length is checked against the stream before a byte is read.
#ifndef PARLEY_EXCEL_BIFF_RECORDS_H_
#define PARLEY_EXCEL_BIFF_RECORDS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "excel/biff_text.h"
#include "excel/little_endian.h"

namespace parley::biff {

// Record ids.
constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kContinue = 0x003C;
constexpr uint16_t kCodePage = 0x0042;
constexpr uint16_t kDateMode = 0x0022;
constexpr uint16_t kFilePass = 0x002F;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kXf = 0x00E0;
constexpr uint16_t kFormat = 0x041E;
constexpr uint16_t kLabelSst = 0x00FD;
constexpr uint16_t kLabel = 0x0204;
constexpr uint16_t kRString = 0x00D6;
constexpr uint16_t kNumber = 0x0203;
constexpr uint16_t kRk = 0x027E;
constexpr uint16_t kMulRk = 0x00BD;
constexpr uint16_t kBoolErr = 0x0205;
constexpr uint16_t kFormula = 0x0006;
constexpr uint16_t kString = 0x0207;
// The BOF ids of Excel 2, 3 and 4 files.
constexpr uint16_t kBof2 = 0x0009;
constexpr uint16_t kBof3 = 0x0209;
constexpr uint16_t kBof4 = 0x0409;

// BOF: version (2), substream type (2).
constexpr size_t kBofSize = 4;
constexpr uint16_t kBiff5 = 0x0500;
constexpr uint16_t kBiff8 = 0x0600;
constexpr uint16_t kGlobalsSubstream = 0x0005;
constexpr uint16_t kWorksheetSubstream = 0x0010;

// BOUNDSHEET: stream offset of the sheet's BOF (4), visibility (1), sheet type (1), name.
constexpr size_t kBoundSheetNameAt = 6;
constexpr uint8_t kWorksheetType = 0;

// XF: font (2), format id (2), ...
constexpr size_t kXfFormatAt = 2;
constexpr size_t kXfMinSize = 4;

// Cell records start with row (2), column (2) and XF index (2).
constexpr size_t kCellHeaderSize = 6;
// NUMBER: an IEEE double. RK: a packed number (4). BOOLERR: value (1), is-error (1).
constexpr size_t kNumberSize = kCellHeaderSize + 8;
constexpr size_t kRkSize = kCellHeaderSize + 4;
constexpr size_t kBoolErrSize = kCellHeaderSize + 2;
constexpr size_t kLabelSstSize = kCellHeaderSize + 4;
// MULRK: row (2), first column (2), (XF (2), RK (4)) per cell, last column (2).
constexpr size_t kMulRkHeaderSize = 4;
constexpr size_t kMulRkItemSize = 6;
// FORMULA: the cached result (8) after the cell header, option flags (2), unused (4), then the
// size of the formula's tokens (2) and the tokens. A result whose last two bytes are 0xFFFF is
// not a number: its first byte tells string (in the STRING record that follows), boolean, error
// or empty string; the boolean's value is its third byte.
constexpr size_t kFormulaMinSize = kCellHeaderSize + 8;
constexpr size_t kFormulaTokensSizeAt = kCellHeaderSize + 14;
constexpr size_t kFormulaTokensAt = kFormulaTokensSizeAt + 2;
constexpr uint8_t kResultString = 0;
constexpr uint8_t kResultBoolean = 1;
constexpr uint8_t kResultError = 2;
constexpr uint8_t kResultEmpty = 3;

// The number an RK value packs: a 30-bit integer or the high bits of a double, divided by 100
// when its lowest bit is set.
double RkValue(uint32_t rk);

double F64(std::string_view bytes, size_t at);

struct Record {
  uint16_t id = 0;
  std::string_view data;
  size_t offset = 0;  // of the record's header in the stream
};

// Walks the records of a stream from an offset.
class RecordReader {
 public:
  RecordReader(std::string_view stream, size_t offset) : stream_(stream), offset_(offset) {}
  // False at the end of the stream, or at a record cut short (damaged() tells).
  bool Next(Record* record);
  bool damaged() const { return damaged_; }
  // Where the next record starts.
  size_t offset() const { return offset_; }

 private:
  std::string_view stream_;
  size_t offset_;
  bool damaged_ = false;
};

// Reads a record's data and then the CONTINUE records after it as one run of bytes. Character
// data that crosses into a CONTINUE record starts there with a flag byte of its own. Every read
// fails, reading nothing, past the end of the run.
class SpanReader {
 public:
  SpanReader(std::string_view stream, const Record& record);

  bool U8(uint8_t* value);
  bool U16(uint16_t* value);
  bool U32(uint32_t* value);
  bool Skip(size_t count);
  bool AtEnd();

  // Appends count BIFF8 characters, 16-bit or compressed as wide says, as UTF-8.
  bool Chars(size_t count, bool wide, std::string* out);
  // Appends count bytes converted from the workbook's code page.
  bool Bytes(size_t count, CodePageDecoder& decoder, std::string* out);

 private:
  // Moves to the next CONTINUE record; false when there is none.
  bool NextFragment();

  std::string_view stream_;
  std::string_view fragment_;
  size_t at_ = 0;   // in fragment_
  size_t end_ = 0;  // of fragment_ in the stream
};

// A BIFF8 string: a character count of length_size bytes (1 or 2), a flag byte, the rich text
// and phonetic sizes its flags announce, the characters, then the runs, which are skipped.
bool ReadUnicodeString(SpanReader& reader, size_t length_size, std::string* out);

// A BIFF5 string: a byte count of length_size bytes (1 or 2), then the bytes.
bool ReadByteString(SpanReader& reader, size_t length_size, CodePageDecoder& decoder,
                    std::string* out);

}  // namespace parley::biff

#endif  // PARLEY_EXCEL_BIFF_RECORDS_H_
