#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "excel/workbook_readers.h"

namespace parley {
namespace {

namespace fs = std::filesystem;

using Cells = std::map<std::pair<uint32_t, uint32_t>, std::string>;

struct SheetCells {
  std::string name;
  Cells cells;
  bool operator==(const SheetCells&) const = default;
};

struct RecordingSink : SheetSink {
  bool BeginSheet(std::string_view name) override {
    sheets.push_back({std::string(name), {}});
    return true;
  }
  bool Cell(uint32_t row, uint32_t column, std::string_view value) override {
    sheets.back().cells[{row, column}] = std::string(value);
    return true;
  }
  bool EndSheet() override { return true; }

  std::vector<SheetCells> sheets;
};

const fs::path kBook = fs::path(PARLEY_EXCEL_TESTDATA) / "book.xls";

TEST(XlsReaderTest, ReadsSheetsInOrderWithFormattedValues) {
  RecordingSink sink;
  std::string error;
  LoadBudget budget;
  ASSERT_TRUE(ReadXls(kBook, sink, budget, &error)) << error;
  std::vector<SheetCells> expected = {
      {"Sheet1",
       {{{0, 0}, "이름"},
        {{0, 1}, "phone"},
        {{0, 3}, "joined"},
        {{0, 4}, "memo"},
        {{1, 0}, "김철수"},
        {{1, 1}, "1012345678"},
        {{1, 2}, "x"},
        {{1, 3}, "2024-03-05"},
        {{2, 0}, "Lee"},
        {{2, 1}, "01012345678"},
        {{2, 3}, "2024-03-05 13:45:00"},
        {{2, 4}, "2.5"},
        {{3, 0}, "Park"},
        {{3, 1}, "1012345678"},
        {{3, 3}, "2024-03-06"}}},
      {"Phone list",
       {{{0, 0}, "name"}, {{0, 1}, "phone"}, {{1, 0}, "홍길동"}, {{1, 1}, "010-1234-5678"}}},
      {"Empty", {}},
  };
  EXPECT_EQ(sink.sheets, expected);
}

// Compound files that hold no readable workbook.
TEST(XlsReaderTest, UnreadableCompoundFiles) {
  std::ifstream in(kBook, std::ios::binary);
  std::string book((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // An encrypted .xlsx is a compound file whose streams have other names than "Workbook".
  std::string renamed = book;
  const std::string workbook("W\0o\0r\0k\0b\0o\0o\0k\0", 16);
  size_t at = renamed.find(workbook);
  ASSERT_NE(at, std::string::npos);
  renamed.replace(at, workbook.size(), std::string("E\0n\0c\0r\0y\0p\0t\0d\0", 16));
  std::string truncated = book.substr(0, 600);
  // A FILEPASS record in place of the WINDOWPROTECT and PROTECT records marks the workbook as
  // encrypted.
  std::string encrypted = book;
  const std::string protect("\x19\x00\x02\x00\x00\x00\x12\x00\x02\x00\x00\x00", 12);
  at = encrypted.find(protect);
  ASSERT_NE(at, std::string::npos);
  encrypted.replace(at, protect.size(),
                    std::string("\x2F\x00\x08\x00\x00\x00\xA1\xB2\xC3\xD4\xE5\xF6", 12));

  fs::path dir = fs::temp_directory_path() / ("xls_reader_test_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  struct Case {
    const char* name;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"encrypted.xls", encrypted, "the workbook is password-protected"},
      {"renamed.xls", renamed, "the workbook is password-protected or not an Excel workbook"},
      {"truncated.xls", truncated, "the workbook is damaged or not an Excel workbook"},
      {"garbage.xls", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(4096, 'x'),
       "not an Excel workbook"},
  };
  for (const Case& c : cases) {
    std::ofstream(dir / c.name, std::ios::binary) << c.bytes;
    RecordingSink sink;
    std::string error;
    LoadBudget budget;
    EXPECT_FALSE(ReadXls(dir / c.name, sink, budget, &error)) << c.name;
    EXPECT_EQ(error, c.reason) << c.name;
  }
  fs::remove_all(dir);
}

TEST(XlsReaderTest, SinkStopsTheReader) {
  struct StopAtSecondCell : RecordingSink {
    bool Cell(uint32_t row, uint32_t column, std::string_view value) override {
      return RecordingSink::Cell(row, column, value) && sheets.back().cells.size() < 2;
    }
  } sink;
  std::string error;
  LoadBudget budget;
  EXPECT_FALSE(ReadXls(kBook, sink, budget, &error));
  EXPECT_EQ(error, "reading stopped at sheet \"Sheet1\"");
  ASSERT_EQ(sink.sheets.size(), 1u);
  EXPECT_EQ(sink.sheets[0].cells, (Cells{{{0, 0}, "이름"}, {{0, 1}, "phone"}}));
}

}  // namespace
}  // namespace parley
