#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>

#include "excel/workbook_readers.h"
#include "text/cp949.h"

namespace parley {
namespace {

namespace fs = std::filesystem;

// Cells by (row, column), with the sheet names in order.
struct RecordingSink : SheetSink {
  bool BeginSheet(std::string_view name) override {
    sheets.emplace_back(name);
    return true;
  }
  bool Cell(uint32_t row, uint32_t column, std::string_view value) override {
    cells[{row, column}] = std::string(value);
    return true;
  }
  bool EndSheet() override { return true; }

  std::vector<std::string> sheets;
  std::map<std::pair<uint32_t, uint32_t>, std::string> cells;
};

using Cells = std::map<std::pair<uint32_t, uint32_t>, std::string>;

class CsvReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("csv_reader_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  LoadBudget budget_;

  // Writes bytes to name in the test's folder and reads it back as CSV.
  RecordingSink Read(const std::string& bytes, const std::string& name = "list.csv") {
    fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    RecordingSink sink;
    std::string error;
    EXPECT_TRUE(ReadCsv(path, sink, budget_, &error)) << error;
    return sink;
  }

  fs::path dir_;
};

TEST_F(CsvReaderTest, QuotingAndLineEnds) {
  struct Case {
    const char* name;
    std::string bytes;
    Cells cells;
  } cases[] = {
      {"plain LF", "a,b\n1,2\n", {{{0, 0}, "a"}, {{0, 1}, "b"}, {{1, 0}, "1"}, {{1, 1}, "2"}}},
      {"CRLF and no final break",
       "a,b\r\n1,2",
       {{{0, 0}, "a"}, {{0, 1}, "b"}, {{1, 0}, "1"}, {{1, 1}, "2"}}},
      {"lone CR", "a\r1\r\r2", {{{0, 0}, "a"}, {{1, 0}, "1"}, {{3, 0}, "2"}}},
      {"quoted comma and doubled quote",
       "\"x,y\",\"say \"\"hi\"\"\"\n",
       {{{0, 0}, "x,y"}, {{0, 1}, "say \"hi\""}}},
      {"line breaks inside quotes",
       "\"a\r\nb\",\"c\nd\"\ne\n",
       {{{0, 0}, "a\r\nb"}, {{0, 1}, "c\nd"}, {{1, 0}, "e"}}},
      {"empty fields are not cells", ",a,,\"\",b\n", {{{0, 1}, "a"}, {{0, 4}, "b"}}},
      {"numbers stay as written",
       "1012345678,01012345678,1.50\n",
       {{{0, 0}, "1012345678"}, {{0, 1}, "01012345678"}, {{0, 2}, "1.50"}}},
      {"BOM skipped", "\xEF\xBB\xBFname\n", {{{0, 0}, "name"}}},
      {"unterminated quote keeps the rest",
       "a,\"open\nrest",
       {{{0, 0}, "a"}, {{0, 1}, "open\nrest"}}},
      {"text after a closing quote", "\"ab\"cd,e\n", {{{0, 0}, "abcd"}, {{0, 1}, "e"}}},
      {"spaces kept", " a , b \n", {{{0, 0}, " a "}, {{0, 1}, " b "}}},
      {"empty file", "", {}},
  };
  for (const Case& c : cases) {
    RecordingSink sink = Read(c.bytes);
    EXPECT_EQ(sink.cells, c.cells) << c.name;
    EXPECT_EQ(sink.sheets, std::vector<std::string>{"list"}) << c.name;
  }
}

TEST_F(CsvReaderTest, Cp949FileReadsLikeItsUtf8Twin) {
  std::string utf8 = "이름,전화\n홍길동,01012345678\n\"김,철수\",똠방각하\n";
  RecordingSink from_utf8 = Read(utf8, "utf8.csv");
  RecordingSink from_cp949 = Read(Utf8ToAnsi(utf8), "cp949.csv");
  EXPECT_EQ(from_cp949.cells, from_utf8.cells);
  EXPECT_EQ(from_utf8.cells.at({2, 0}), "김,철수");
  EXPECT_EQ(from_utf8.cells.at({2, 1}), "똠방각하");
}

TEST_F(CsvReaderTest, LongFileAcrossChunks) {
  // Records straddle the reader's chunk boundaries, one of them a quoted CRLF.
  std::string bytes;
  for (int i = 0; i < 20000; ++i)
    bytes += std::to_string(i) + ",\"q\r\n" + std::to_string(i) + "\"\r\n";
  RecordingSink sink = Read(bytes);
  ASSERT_EQ(sink.cells.size(), 40000u);
  EXPECT_EQ(sink.cells.at({19999, 0}), "19999");
  EXPECT_EQ(sink.cells.at({12345, 1}), "q\r\n12345");
}

// A spreadsheet program's "text (tab delimited)" file; commas inside it are text.
TEST_F(CsvReaderTest, TabSeparatedTextFile) {
  EXPECT_EQ(Read("name\tphone\n\"Kim, J\"\t010\n", "list.txt").cells,
            (Cells{{{0, 0}, "name"}, {{0, 1}, "phone"}, {{1, 0}, "Kim, J"}, {{1, 1}, "010"}}));
  EXPECT_EQ(Read("a,b\tc\n", "list.csv").cells, (Cells{{{0, 0}, "a"}, {{0, 1}, "b\tc"}}));
  EXPECT_EQ(Read("a,b\n", "list.txt").cells, (Cells{{{0, 0}, "a"}, {{0, 1}, "b"}}));
}

TEST_F(CsvReaderTest, UnreadableFiles) {
  RecordingSink sink;
  std::string error;
  EXPECT_FALSE(ReadCsv(dir_ / "none.csv", sink, budget_, &error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  // "Unicode text": UTF-16 would read as bytes with NULs in between.
  std::ofstream(dir_ / "u.txt", std::ios::binary) << std::string("\xFF\xFEn\0a\0\t\0", 8);
  EXPECT_FALSE(ReadCsv(dir_ / "u.txt", sink, budget_, &error));
  EXPECT_NE(error.find("UTF-16"), std::string::npos) << error;
}

}  // namespace
}  // namespace parley
