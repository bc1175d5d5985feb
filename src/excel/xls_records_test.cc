// The .xls reader on workbook streams built record by record: what other writers put in files
// (CONTINUE records inside strings, BIFF5 code pages, formula results, cells out of order, chart
// sheets) and damage, which must fail with a reason.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "excel/recording_sink.h"
#include "excel/workbook_readers.h"
#include "excel/xls_writer.h"

namespace parley {
namespace {

namespace fs = std::filesystem;

constexpr uint16_t kBiff5 = 0x0500;
constexpr uint16_t kBiff8 = 0x0600;
constexpr uint16_t kGeneralXf = 0;
constexpr uint16_t kDateXf = 1;
constexpr uint16_t kDurationXf = 2;

std::string U16(uint64_t value) { return LeBytes(value, 2); }
std::string U32(uint64_t value) { return LeBytes(value, 4); }
std::string F64(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return LeBytes(bits, 8);
}
std::string Cell(uint16_t row, uint16_t column, uint16_t xf = kGeneralXf) {
  return U16(row) + U16(column) + U16(xf);
}
std::string Bof(uint16_t version, uint16_t substream) {
  return BiffRecord(0x0809, U16(version) + U16(substream) + std::string(4, '\0'));
}
std::string Eof() { return BiffRecord(0x000A, ""); }
// A BIFF8 string with a 2-byte count, 16-bit characters.
std::string Wide(std::string_view utf8) {
  const std::string utf16 = Utf16Bytes(utf8);
  return U16(utf16.size() / 2) + "\x01" + utf16;
}
// A formula cell whose cached result is the 8 bytes given, then its tokens.
std::string Formula(uint16_t row, uint16_t column, std::string result, uint16_t xf = kGeneralXf,
                    std::string_view tokens = "") {
  return BiffRecord(0x0006, Cell(row, column, xf) + result + U16(0) + U32(0) + U16(tokens.size()) +
                                std::string(tokens));
}
std::string SpecialResult(uint8_t kind, uint8_t value = 0) {
  return std::string{static_cast<char>(kind), 0, static_cast<char>(value), 0, 0, 0} + "\xFF\xFF";
}

struct Sheet {
  std::string name;  // as the BOUNDSHEET record stores it, length byte first
  std::string records;
  uint8_t type = 0;  // 0 worksheet, 1 macro sheet, 2 chart
  uint8_t visibility = 0;
  uint16_t substream = 0x0010;
};

// Globals of three XF records (General, a date format, the duration format 164 "[h]:mm:ss")
// followed by the records given, the sheets' BOUNDSHEET records, and each sheet's substream.
std::string Stream(uint16_t version, const std::string& globals, const std::vector<Sheet>& sheets) {
  const std::string duration = version == kBiff8 ? Wide("[h]:mm:ss") : std::string("\x09[h]:mm:ss");
  const auto xf = [](uint16_t format) {
    return BiffRecord(0x00E0, U16(0) + U16(format) + std::string(16, '\0'));
  };
  std::string head = Bof(version, 0x0005) + BiffRecord(0x041E, U16(164) + duration) + xf(0) +
                     xf(14) + xf(164) + globals;
  std::vector<size_t> fields;
  for (const Sheet& sheet : sheets) {
    fields.push_back(head.size() + 4);
    head += BiffRecord(
        0x0085,
        U32(0) + std::string{static_cast<char>(sheet.visibility), static_cast<char>(sheet.type)} +
            sheet.name);
  }
  std::string stream = head + Eof();
  for (size_t i = 0; i < sheets.size(); ++i) {
    stream.replace(fields[i], 4, U32(stream.size()));
    stream += Bof(version, sheets[i].substream) + sheets[i].records + Eof();
  }
  return stream;
}

std::string Name8(std::string_view utf8) {
  const std::string utf16 = Utf16Bytes(utf8);
  return std::string{static_cast<char>(utf16.size() / 2), 1} + utf16;
}

class XlsRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("xls_records_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Reads the stream as a workbook; the listing as the corpus files hold it.
  std::vector<std::string> List(uint16_t version, const std::string& stream) {
    const fs::path file = dir_ / "book.xls";
    std::ofstream(file, std::ios::binary)
        << CompoundFileBytes(version == kBiff5 ? "Book" : "Workbook", stream);
    return ReadListing(ReadXls, file);
  }

  fs::path dir_;
};

using Lines = std::vector<std::string>;

// Shared strings split over CONTINUE records: inside the characters (the CONTINUE record starts
// with a flag byte, here switching from 8-bit to 16-bit characters), inside the rich text runs
// and the phonetic block (no flag byte), and between two strings.
TEST_F(XlsRecordsTest, SharedStringsAcrossContinueRecords) {
  const std::string sst =
      BiffRecord(0x00FC, U32(4) + U32(4) +
                             // "abc" + "한글": 8-bit, then the rest in the next record
                             U16(5) + std::string("\0abc", 4)) +
      BiffRecord(0x003C, std::string("\x01") + Utf16Bytes("한글") +
                             // rich text: 2 runs, cut between the runs' bytes
                             U16(2) + "\x08" + U16(2) + "xy" + U32(0x00010000)) +
      BiffRecord(0x003C, U32(0x00020001) +
                             // phonetic block of 10 bytes, cut in the middle
                             U16(1) + "\x04" + U32(10) + "z" + std::string(4, '\x7F')) +
      BiffRecord(0x003C, std::string(6, '\x7F') + U16(3) + std::string("\0end", 4));
  const std::string cells =
      BiffRecord(0x00FD, Cell(0, 0) + U32(0)) + BiffRecord(0x00FD, Cell(0, 1) + U32(1)) +
      BiffRecord(0x00FD, Cell(0, 2) + U32(2)) + BiffRecord(0x00FD, Cell(0, 3) + U32(3));
  EXPECT_EQ(List(kBiff8, Stream(kBiff8, sst, {{Name8("S"), cells}})),
            (Lines{"sheet: S", "A1=abc한글", "B1=xy", "C1=z", "D1=end"}));
}

// Numbers, formula results, booleans and errors, each as the .xlsx reader gives them.
TEST_F(XlsRecordsTest, CellValues) {
  const std::string string_result = SpecialResult(0);
  const std::string cells =
      BiffRecord(0x0203, Cell(0, 0) + F64(2.5)) +
      BiffRecord(0x027E, Cell(0, 1) + U32(1234 << 2 | 0x02)) +         // RK integer
      BiffRecord(0x027E, Cell(0, 2) + U32(1234 << 2 | 0x03)) +         // RK integer / 100
      BiffRecord(0x027E, Cell(0, 3) + U32(0x3FF80000)) +               // RK double 1.5
      BiffRecord(0x027E, Cell(0, 4, kDateXf) + U32(45000 << 2 | 2)) +  // a date
      BiffRecord(0x00BD, U16(1) + U16(1) + U16(kGeneralXf) + U32(7 << 2 | 2) + U16(kDateXf) +
                             U32(45001 << 2 | 2) + U16(2)) +       // MULRK B2:C2
      BiffRecord(0x0205, Cell(2, 0) + std::string("\x01\0", 2)) +  // TRUE
      BiffRecord(0x0205, Cell(2, 1) + std::string(2, '\0')) +      // FALSE
      BiffRecord(0x0205, Cell(2, 2) + "\x07\x01") +                // #DIV/0!
      Formula(3, 0, F64(42)) +                                     //
      Formula(3, 1, F64(45000.75), kDateXf) +                      // a date-time
      Formula(3, 2, F64(1.5), kDurationXf) +                       // 36 hours
      Formula(3, 3, SpecialResult(1, 1)) +                         // TRUE
      Formula(3, 4, SpecialResult(1, 0)) +                         // FALSE
      Formula(3, 5, SpecialResult(2, 0x2A)) +                      // #N/A
      Formula(3, 6, SpecialResult(3)) +                            // ""
      // A text result in the STRING record, after a shared formula record.
      Formula(3, 7, string_result) +
      BiffRecord(0x04BC, std::string(10, '\0')) + BiffRecord(0x0207, Wide("text result")) +
      BiffRecord(0x0204, Cell(4, 0) + Wide("label")) +
      BiffRecord(0x00D6, Cell(4, 1) + Wide("rich") + U16(0));
  EXPECT_EQ(List(kBiff8, Stream(kBiff8, "", {{Name8("Values"), cells}})),
            (Lines{"sheet: Values", "A1=2.5", "B1=1234", "C1=12.34", "D1=1.5", "E1=2023-03-15",
                   "B2=7", "C2=2023-03-16", "A3=TRUE", "B3=FALSE", "A4=42",
                   "B4=2023-03-15 18:00:00", "C4=1900-01-01 12:00:00", "D4=TRUE", "E4=FALSE",
                   "H4=text result", "A5=label", "B5=rich"}));

  const std::string date1904 = BiffRecord(0x0022, U16(1));
  EXPECT_EQ(
      List(kBiff8, Stream(kBiff8, date1904,
                          {{Name8("1904"), BiffRecord(0x0203, Cell(0, 0, kDateXf) + F64(43890))}})),
      (Lines{"sheet: 1904", "A1=2024-03-01"}));
}

// Formula tokens: constants, operators and what is not worked out.
std::string Int(uint16_t value) { return "\x1E" + U16(value); }
std::string Num(double value) { return "\x1F" + F64(value); }
std::string Str(std::string_view latin) {  // BIFF8, 8-bit characters
  return "\x17" + std::string{static_cast<char>(latin.size()), 0} + std::string(latin);
}
std::string Bool(bool value) { return std::string{0x1D, value}; }
constexpr char kAdd[] = "\x03", kSub[] = "\x04", kMul[] = "\x05", kDiv[] = "\x06",
               kPower[] = "\x07", kConcat[] = "\x08", kLt[] = "\x09", kEq[] = "\x0B",
               kMinus[] = "\x13", kPercent[] = "\x14", kParen[] = "\x15";

// A formula stored with an empty text as its result, as xlwt stores every formula: its value is
// worked out from tokens of constants and operators, and is empty when it is an error or not
// known.
TEST_F(XlsRecordsTest, FormulasStoredWithoutTheirResult) {
  const std::string empty_result = SpecialResult(3);
  const std::string space = std::string("\x19\x40") + U16(1);  // a space before the next token
  const std::string ref_a1 = "\x44" + U16(0) + U16(0xC000);    // A1, relative
  struct Case {
    const char* formula;
    std::string tokens;
    const char* listed;  // "" for an empty cell
    uint16_t xf = kGeneralXf;
  } cases[] = {
      {"1+1", Int(1) + Int(1) + kAdd, "2"},
      {"2.5*2", Num(2.5) + Int(2) + kMul, "5"},
      {"-3+1", Int(3) + kMinus + Int(1) + kAdd, "-2"},
      {"(1+2)*3", Int(1) + Int(2) + kAdd + kParen + Int(3) + kMul, "9"},
      {"10/4-1", Int(10) + Int(4) + kDiv + Int(1) + kSub, "1.5"},
      {"2^10", Int(2) + Int(10) + kPower, "1024"},
      {"50%", Int(50) + kPercent, "0.5"},
      {"TRUE+1", Bool(true) + Int(1) + kAdd, "2"},
      {" 1+1", space + Int(1) + Int(1) + kAdd, "2"},
      {"45000+0.5 as a date", Int(45000) + Num(0.5) + kAdd, "2023-03-15 12:00:00", kDateXf},
      {"1<2", Int(1) + Int(2) + kLt, "TRUE"},
      {"1=2", Int(1) + Int(2) + kEq, "FALSE"},
      {"TRUE", Bool(true), "TRUE"},
      {"\"a\"&\"b\"", Str("a") + Str("b") + kConcat, "ab"},
      {"\"x\"&2.5&FALSE", Str("x") + Num(2.5) + kConcat + Bool(false) + kConcat, "x2.5FALSE"},
      // Errors.
      {"1/0", Int(1) + Int(0) + kDiv, ""},
      {"0^0", Int(0) + Int(0) + kPower, ""},
      {"#N/A+1", std::string("\x1C\x2A") + Int(1) + kAdd, ""},
      {"1E308*10", Num(1e308) + Int(10) + kMul, ""},
      // Not worked out: references, functions, text in arithmetic, numbers that print
      // differently, comparisons of mixed types or of numbers equal to 15 digits.
      {"A1+1", ref_a1 + Int(1) + kAdd, ""},
      {"SUM(1,2)", Int(1) + Int(2) + "\x42\x02" + U16(4), ""},
      {"\"1\"+1", Str("1") + Int(1) + kAdd, ""},
      {"0.1+0.2&\"\"", Num(0.1) + Num(0.2) + kAdd + Str("") + kConcat, ""},
      {"1<TRUE", Int(1) + Bool(true) + kLt, ""},
      {"0.1+0.2=0.3", Num(0.1) + Num(0.2) + kAdd + Num(0.3) + kEq, ""},
      // Damage.
      {"cut short", Num(2).substr(0, 5), ""},
      {"two values", Int(1) + Int(2), ""},
      {"an operator short", Int(1) + kAdd, ""},
  };
  for (const Case& c : cases) {
    const Lines lines = List(
        kBiff8, Stream(kBiff8, "", {{Name8("S"), Formula(0, 0, empty_result, c.xf, c.tokens)}}));
    Lines expected{"sheet: S"};
    if (*c.listed) expected.push_back(std::string("A1=") + c.listed);
    EXPECT_EQ(lines, expected) << c.formula;
  }
  // A stored result is the value, whatever the tokens.
  EXPECT_EQ(List(kBiff8,
                 Stream(kBiff8, "",
                        {{Name8("S"), Formula(0, 0, F64(7), kGeneralXf, Int(1) + Int(1) + kAdd)}})),
            (Lines{"sheet: S", "A1=7"}));
}

// Only worksheets list, hidden or not; an embedded chart's records inside a worksheet are not
// its cells. Cells out of row order are put in order, and of two records for one cell the later
// counts.
TEST_F(XlsRecordsTest, SheetsAndCellOrder) {
  const std::string number = BiffRecord(0x0203, Cell(0, 0) + F64(1));
  Sheet chart{Name8("Chart1"), Bof(kBiff8, 0x0020) + number + Eof(), 2, 0, 0x0020};
  Sheet macro{Name8("Macro1"), number, 1, 0, 0x0040};
  Sheet hidden{Name8("Hidden"), number, 0, 2};
  Sheet unordered{Name8("Unordered"), BiffRecord(0x0203, Cell(2, 0) + F64(3)) +
                                          // an embedded chart: its own BOF-EOF substream
                                          Bof(kBiff8, 0x0020) +
                                          BiffRecord(0x0203, Cell(9, 9) + F64(99)) + Eof() +
                                          BiffRecord(0x0203, Cell(0, 1) + F64(2)) +
                                          BiffRecord(0x0203, Cell(0, 0) + F64(1)) +
                                          BiffRecord(0x0203, Cell(2, 0) + F64(4))};
  EXPECT_EQ(List(kBiff8, Stream(kBiff8, "", {chart, unordered, macro, hidden})),
            (Lines{"sheet: Unordered", "A1=1", "B1=2", "A3=4", "sheet: Hidden", "A1=1"}));
}

// Excel 5 byte strings in the workbook's code page: sheet names, labels, formats.
TEST_F(XlsRecordsTest, Biff5CodePages) {
  struct Case {
    uint16_t code_page;
    std::string name;   // in the code page
    std::string label;  // in the code page
    std::string name_utf8, label_utf8;
  } cases[] = {
      {1251, "\xCB\xE8\xF1\xF2", "\xC8\xEC\xFF", "Лист", "Имя"},
      // Vietnamese: a letter and the combining accent after it make one character.
      {1258, "Bi\xEA\xD2u", "Ti\xEA\xECng Vi\xEA\xF2t", "Biểu", "Tiếng Việt"},
      {949, "\xC0\xCC\xB8\xA7", "\xB1\xE8\xC3\xB6\xBC\xF6", "이름", "김철수"},
  };
  for (const Case& c : cases) {
    const std::string name = std::string(1, static_cast<char>(c.name.size())) + c.name;
    // C1: the label as a formula's text constant, its result not stored.
    const std::string constant =
        "\x17" + std::string(1, static_cast<char>(c.label.size())) + c.label;
    const std::string cells = BiffRecord(0x0204, Cell(0, 0) + U16(c.label.size()) + c.label) +
                              BiffRecord(0x0203, Cell(0, 1, kDurationXf) + F64(0.5)) +
                              Formula(0, 2, SpecialResult(3), kGeneralXf, constant);
    const Lines lines =
        List(kBiff5, Stream(kBiff5, BiffRecord(0x0042, U16(c.code_page)), {{name, cells}}));
    ASSERT_EQ(lines.size(), 4u) << c.code_page;
    EXPECT_EQ(lines[0], "sheet: " + c.name_utf8) << c.code_page;
    EXPECT_EQ(lines[1], "A1=" + c.label_utf8) << c.code_page;
    EXPECT_EQ(lines[2], "B1=12:00:00") << c.code_page;
    EXPECT_EQ(lines[3], "C1=" + c.label_utf8) << c.code_page;
  }
}

// Damage inside the workbook stream fails the read with a reason.
TEST_F(XlsRecordsTest, DamagedStreams) {
  const std::string cell = BiffRecord(0x00FD, Cell(0, 0) + U32(0));
  const std::string sst = BiffRecord(0x00FC, U32(1) + U32(1) + U16(1) + std::string("\0a", 2));
  std::string cut_record = Stream(kBiff8, sst, {{Name8("S"), cell}});
  cut_record.resize(cut_record.size() - 8);
  std::string far_sheet = Stream(kBiff8, sst, {{Name8("S"), cell}});
  const size_t bound = far_sheet.find(Name8("S")) - 6;
  far_sheet.replace(bound, 4, U32(1 << 20));
  // Two sheets on one substream: each walk would cover most of the stream again.
  std::string many_cells;
  for (uint16_t row = 0; row < 200; ++row) many_cells += BiffRecord(0x0203, Cell(row, 0) + F64(1));
  std::string shared_sheet = Stream(kBiff8, sst, {{Name8("S"), many_cells}, {Name8("T"), ""}});
  const size_t first = shared_sheet.find(Name8("S")) - 6;
  shared_sheet.replace(shared_sheet.find(Name8("T")) - 6, 4, shared_sheet.substr(first, 4));
  struct Case {
    const char* name;
    std::string stream;
    const char* error;
  } cases[] = {
      {"no BOF", Eof() + Eof(), "the workbook is damaged or not an Excel workbook"},
      {"globals without EOF", Bof(kBiff8, 5) + sst,
       "the workbook is damaged or not an Excel workbook"},
      {"encrypted", Bof(kBiff8, 5) + BiffRecord(0x002F, std::string(6, '\0')) + Eof(),
       "the workbook is password-protected"},
      {"Excel 4", BiffRecord(0x0409, std::string(6, '\0')),
       "the workbook is in the format of Excel 4 or older; save it again as .xlsx"},
      {"shared string missing", Stream(kBiff8, "", {{Name8("S"), cell}}),
       "the workbook is damaged: sheet 1 cannot be read"},
      {"record cut short", cut_record, "the workbook is damaged: sheet 1 cannot be read"},
      {"sheet beyond the stream", far_sheet, "the workbook is damaged: sheet 1 cannot be read"},
      {"sheets overlap", shared_sheet, "the workbook is damaged: sheet 2 cannot be read"},
  };
  for (const Case& c : cases) {
    // A sheet that fails may have handed on some of its cells already.
    EXPECT_EQ(List(kBiff8, c.stream).front(), std::string("error: ") + c.error) << c.name;
  }
}

}  // namespace
}  // namespace parley
