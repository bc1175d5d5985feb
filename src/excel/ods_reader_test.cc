#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "excel/recording_sink.h"
#include "excel/workbook_readers.h"
#include "excel/workbook_writer.h"
#include "testing/engine_process.h"

namespace parley {
namespace {

using Cells = std::vector<std::string>;

// A content.xml holding the given tables (their full <table:table> elements).
std::string Content(const std::string& tables) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
         "<office:document-content "
         "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
         "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
         "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
         "<office:body><office:spreadsheet>" +
         tables + "</office:spreadsheet></office:body></office:document-content>";
}

std::string Table(const std::string& name, const std::string& rows) {
  return "<table:table table:name=\"" + name + "\"><table:table-column/>" + rows + "</table:table>";
}

std::string Text(const std::string& paragraphs) {
  return "<table:table-cell office:value-type=\"string\">" + paragraphs + "</table:table-cell>";
}

class OdsReaderTest : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return dir_.path() / "book.ods"; }

  bool Read(const std::string& content) {
    std::string error;
    EXPECT_TRUE(WriteZip(File(),
                         {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", true},
                          {"content.xml", content}},
                         &error))
        << error;
    LoadBudget budget(limits_);
    bool ok = ReadOds(File(), sink_, budget, &error_);
    EXPECT_FALSE(sink_.order_broken);
    return ok;
  }

  Cells OnlySheet() const {
    EXPECT_EQ(sink_.sheets.size(), 1u);
    return sink_.sheets.empty() ? Cells() : sink_.sheets[0].cells;
  }

  testing::TempDir dir_;
  RecordingSink sink_;
  LoadLimits limits_;  // of Read
  LoadBudget budget_;
  std::string error_;
};

TEST_F(OdsReaderTest, ValueTypes) {
  const std::string row =
      "<table:table-row>"
      "<table:table-cell office:value-type=\"float\" office:value=\"1012345678\">"
      "<text:p>1,012,345,678</text:p></table:table-cell>"
      "<table:table-cell office:value-type=\"percentage\" office:value=\"0.1\"><text:p>10%</text:p>"
      "</table:table-cell>"
      "<table:table-cell office:value-type=\"currency\" office:currency=\"KRW\" "
      "office:value=\"1500.0\"><text:p>₩1,500</text:p></table:table-cell>"
      "<table:table-cell office:value-type=\"date\" office:date-value=\"2024-03-05\"/>"
      "<table:table-cell office:value-type=\"date\" office:date-value=\"2024-03-05T14:30:00\"/>"
      "<table:table-cell office:value-type=\"date\" office:date-value=\"2024-03-05T00:00:00\"/>"
      "<table:table-cell office:value-type=\"time\" office:time-value=\"PT14H05M09.5S\"/>"
      "<table:table-cell office:value-type=\"boolean\" office:boolean-value=\"true\"/>"
      "<table:table-cell office:value-type=\"boolean\" office:boolean-value=\"false\"/>"
      // Fractions of a second are rounded, across midnight too.
      "<table:table-cell office:value-type=\"time\" office:time-value=\"PT12H29M59.9999S\"/>"
      "<table:table-cell office:value-type=\"date\" "
      "office:date-value=\"2024-12-31T23:59:59.6\"/>"
      "</table:table-row><table:table-row>" +
      Text("<text:p>김철수</text:p>") +
      Text("<text:p>first</text:p><text:p>second</text:p><text:p/>") +
      Text("<text:p>a<text:s/>b<text:s text:c=\"3\"/>c<text:tab/>d<text:line-break/>e</text:p>") +
      Text("<text:p><text:span>span</text:span> and <text:a>link</text:a></text:p>") +
      Text(
          "<office:annotation><dc:date>2024</dc:date><text:p>note</text:p></office:annotation>"
          "<text:p>annotated</text:p>") +
      "<table:table-cell/><table:table-cell office:value-type=\"string\"/>" +
      Text("<text:p>last</text:p>") +
      // A picture and a text box anchored to cells, a bulleted list in one.
      Text("<draw:frame><draw:image><text:p/></draw:image></draw:frame><text:p>name</text:p>") +
      Text(
          "<draw:custom-shape><text:p>shape "
          "text</text:p></draw:custom-shape><text:p>Kim</text:p>") +
      Text("<text:list><text:list-item><text:p>one</text:p></text:list-item></text:list>") +
      // A formula that failed, as LibreOffice writes it: empty, as an xlsx error cell.
      "<table:table-cell table:formula=\"of:=1/0\" office:value-type=\"float\" "
      "office:value=\"0\" calcext:value-type=\"error\"><text:p>#DIV/0!</text:p>"
      "</table:table-cell>" +
      // Writers that do not mark the error store the number 0 and show the error's name.
      "<table:table-cell table:formula=\"of:=1/0\" office:value-type=\"float\" "
      "office:value=\"0\"><text:p>#DIV/0!</text:p></table:table-cell>"
      "<table:table-cell table:formula=\"of:=[.A1]\" office:value-type=\"float\" "
      "office:value=\"0\"><text:p>Err:502</text:p></table:table-cell>"
      // A formula whose text merely looks like one is a value.
      "<table:table-cell table:formula=\"of:=0\" office:value-type=\"float\" "
      "office:value=\"0\"><text:p>0</text:p></table:table-cell>" +
      Text("<text:p>after</text:p>") + "</table:table-row>";
  ASSERT_TRUE(Read(Content(Table("Sheet1", row)))) << error_;
  EXPECT_EQ(OnlySheet(), (Cells{"A1=1012345678",
                                "B1=0.1",
                                "C1=1500",
                                "D1=2024-03-05",
                                "E1=2024-03-05 14:30:00",
                                "F1=2024-03-05",
                                "G1=14:05:10",
                                "H1=TRUE",
                                "I1=FALSE",
                                "J1=12:30:00",
                                "K1=2025-01-01",
                                "A2=김철수",
                                "B2=first\nsecond\n",
                                "C2=a b   c\td\ne",
                                "D2=span and link",
                                "E2=annotated",
                                "H2=last",
                                "I2=name",
                                "J2=Kim",
                                "K2=one",
                                "O2=0",
                                "P2=after"}));
}

TEST_F(OdsReaderTest, RepeatedAndCoveredCells) {
  limits_.stored_columns = limits_.columns;  // up to the grid's last column, XFD
  const std::string rows =
      "<table:table-header-rows><table:table-row>" + Text("<text:p>head</text:p>") +
      "</table:table-row></table:table-header-rows>"
      "<table:table-row table:number-rows-repeated=\"2\">"
      "<table:table-cell table:number-columns-repeated=\"2\"/>"
      "<table:table-cell table:number-columns-repeated=\"2\" office:value-type=\"float\" "
      "office:value=\"7\"/>"
      "<table:covered-table-cell/>"
      "<table:covered-table-cell office:value-type=\"string\"><text:p>hidden</text:p>"
      "</table:covered-table-cell>"
      "<table:table-cell table:number-columns-repeated=\"16376\"/>"
      "<table:table-cell table:number-columns-repeated=\"100\" office:value-type=\"string\">"
      "<text:p>past the last column</text:p></table:table-cell>"
      "</table:table-row>"
      "<table:table-row table:number-rows-repeated=\"1048570\">"
      "<table:table-cell table:number-columns-repeated=\"16384\"/></table:table-row>"
      "<table:table-row>" +
      Text("<text:p>last row</text:p>") +
      "</table:table-row>"
      "<table:table-row table:number-rows-repeated=\"4000000000\"/>"
      "<table:table-row>" +
      Text("<text:p>past the last row</text:p>") + "</table:table-row>";
  ASSERT_TRUE(Read(Content(Table("Sheet1", rows)))) << error_;
  EXPECT_EQ(OnlySheet(),
            (Cells{"A1=head", "C2=7", "D2=7", "F2=hidden", "XFC2=past the last column",
                   "XFD2=past the last column", "C3=7", "D3=7", "F3=hidden",
                   "XFC3=past the last column", "XFD3=past the last column", "A1048574=last row"}));
}

// A repeat reaches over the stored columns from its first only, and a long text is cut while it
// is read: a cell of 1 MiB repeated over every column stays one cut value a column. A single
// cell is handed on wherever it is; the sink keeps the columns it reads.
TEST_F(OdsReaderTest, RepeatsSpanAtMostTheStoredColumns) {
  limits_.stored_columns = 3;
  limits_.cell_bytes = 4;
  const std::string rows =
      "<table:table-row table:number-rows-repeated=\"2\">"
      "<table:table-cell/>"
      "<table:table-cell table:number-columns-repeated=\"16384\" office:value-type=\"string\">"
      "<text:p>" +
      std::string(1 << 20, 'x') +
      "</text:p></table:table-cell></table:table-row>"
      "<table:table-row><table:table-cell table:number-columns-repeated=\"3\"/>" +
      Text("<text:p>right of the stored columns</text:p>") + "</table:table-row>";
  ASSERT_TRUE(Read(Content(Table("S", rows)))) << error_;
  // One byte past the cut is kept, so that the table cuts at the same character boundary.
  EXPECT_EQ(OnlySheet(), (Cells{"B1=xxxxx", "C1=xxxxx", "D1=xxxxx", "B2=xxxxx", "C2=xxxxx",
                                "D2=xxxxx", "D3=right"}));
}

// A repeated row that would store more cells than the budget allows is refused before any of it
// is handed on: repeat counts of 999,999,999 cost no time.
TEST_F(OdsReaderTest, RepeatOverTheBudgetIsRefusedAtOnce) {
  limits_.stored_cells = 1000;
  const std::string rows =
      "<table:table-row table:number-rows-repeated=\"999999999\">"
      "<table:table-cell table:number-columns-repeated=\"999999999\" "
      "office:value-type=\"float\" office:value=\"1\"/></table:table-row>";
  EXPECT_FALSE(Read(Content(Table("S", rows))));
  EXPECT_EQ(error_, "the workbook is over its load limit: more than 1000 cells stored");
  ASSERT_EQ(sink_.sheets.size(), 1u);
  EXPECT_TRUE(sink_.sheets[0].cells.empty());
}

TEST_F(OdsReaderTest, SheetsInDocumentOrder) {
  ASSERT_TRUE(Read(Content(
      Table("전화 목록", "<table:table-row>" + Text("<text:p>x</text:p>") + "</table:table-row>") +
      Table("Empty", "<table:table-row><table:table-cell/></table:table-row>") +
      Table("Last", ""))))
      << error_;
  ASSERT_EQ(sink_.sheets.size(), 3u);
  EXPECT_EQ(sink_.sheets[0].name, "전화 목록");
  EXPECT_EQ(sink_.sheets[0].cells, Cells{"A1=x"});
  EXPECT_EQ(sink_.sheets[1].name, "Empty");
  EXPECT_TRUE(sink_.sheets[1].cells.empty());
  EXPECT_EQ(sink_.sheets[2].name, "Last");
}

TEST_F(OdsReaderTest, WriterRoundTrip) {
  SheetData data{
      "Phone list",
      {{WorkbookValue("  lead, two  inner\tand trail  "), std::nullopt, WorkbookValue("줄\n바꿈")},
       {WorkbookValue(1012345678.0), WorkbookValue(0.1), WorkbookValue(WorkbookDate{45356}),
        WorkbookValue(WorkbookDate{45356.75})},
       {},
       {WorkbookValue("<&>\"")}}};
  std::string error;
  ASSERT_TRUE(WriteOds(File(), {data}, &error)) << error;
  ASSERT_TRUE(ReadOds(File(), sink_, budget_, &error)) << error;
  EXPECT_EQ(OnlySheet(),
            (Cells{"A1=  lead, two  inner\tand trail  ", "C1=줄\n바꿈", "A2=1012345678", "B2=0.1",
                   "C2=2024-03-05", "D2=2024-03-05 18:00:00", "A4=<&>\""}));
}

TEST_F(OdsReaderTest, FailuresGiveReasons) {
  struct Case {
    const char* what;
    std::vector<ZipEntry> entries;
    const char* reason;
  } cases[] = {
      {"no content",
       {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}},
       "not an ods workbook: missing content.xml"},
      {"bad XML",
       {{"content.xml", Content(Table("S", "<table:table-row>\n<table:table-cell>"))}},
       "bad XML in content.xml at line 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    ASSERT_TRUE(WriteZip(File(), c.entries, &error)) << error;
    RecordingSink sink;
    EXPECT_FALSE(ReadOds(File(), sink, budget_, &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(ReadOds(dir_.path() / "missing.ods", sink_, budget_, &error));
  EXPECT_NE(error.find("missing.ods"), std::string::npos) << error;
}

}  // namespace
}  // namespace parley
