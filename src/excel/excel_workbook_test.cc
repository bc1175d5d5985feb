// The Excel commands' working object on workbooks written by the tests: the sheet listing, the
// distinct count, the message template and the preview.
#include "excel/excel_workbook.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "db/db_exception.h"
#include "excel/workbook_writer.h"
#include "testing/engine_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

// Engine text for a UTF-8 literal.
std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

class ExcelWorkbookTest : public ::testing::Test {
 protected:
  // Writes a CSV sheet named after `name` and opens it; its table is "<name>$".
  void Open(const std::string& name, const std::string& csv) {
    const std::filesystem::path file = dir_.path() / (name + ".csv");
    std::ofstream(file, std::ios::binary) << csv;
    workbook_.OpenWorkbook(Utf8ToAnsi(file.string()));
  }

  testing::TempDir dir_;
  ExcelWorkbook workbook_;
};

TEST_F(ExcelWorkbookTest, ListsTheSheetAsTheUiProgramExpects) {
  Open("Sheet1", "name,phone\nKim,01012345678\nLee,01098765432\n");
  EXPECT_EQ(workbook_.ListSheets(),
            "Sheet1<QX>2<QX>name,phone<QX>Kim,01012345678,<Q>Lee,01098765432,<QX>");
}

TEST_F(ExcelWorkbookTest, ListingCutsRowsAndColumnsAndEscapes) {
  // 12 columns, 12 rows: all rows counted, 10 listed, 8 columns read.
  std::string csv = "c1,c2,c3,c4,c5,c6,c7,c8,c9,c10,c11,c12\n";
  for (int r = 0; r < 12; ++r) {
    for (int c = 0; c < 12; ++c) csv += (c ? "," : "") + std::to_string(r * 100 + c);
    csv += "\n";
  }
  Open("wide", csv);
  const std::string listing = workbook_.ListSheets();
  EXPECT_TRUE(listing.starts_with("wide<QX>12<QX>c1,c2,c3,c4,c5,c6,c7,c8<QX>0,1,2,3,4,5,6,7,<Q>"))
      << listing;
  EXPECT_TRUE(listing.ends_with("<Q>900,901,902,903,904,905,906,907,<QX>")) << listing;

  Open("odd", "\"a,b\",<x>,c\na,,c\n1012345678.0,010-1234-5678,\"x<y\"\n");
  EXPECT_EQ(workbook_.ListSheets(),
            "odd<QX>2<QX>a&comma;b,&lt;x&gt;,c<QX>a,c,<Q>01012345678,010-1234-5678,x&lt;y,<QX>");

  // An empty first header cell: the old driver's name F1, the row count minus one, no names.
  Open("noheader", ",phone\nKim,010\nLee,011\nPark,012\nChoi,013\nJung,014\n");
  EXPECT_EQ(workbook_.ListSheets(),
            "noheader<QX>4<QX><QX>Kim,010,<Q>Lee,011,<Q>Park,012,<Q>Choi,013,<Q>Jung,014,<QX>");

  // A sheet without rows lists nothing.
  Open("empty", "name,phone\n");
  EXPECT_EQ(workbook_.ListSheets(), "");
}

TEST_F(ExcelWorkbookTest, SheetTitleAndNormalizeCell) {
  EXPECT_EQ(ExcelWorkbook::SheetTitle("Sheet1$"), "Sheet1<QX>");
  EXPECT_EQ(ExcelWorkbook::SheetTitle("'Phone list$'"), "Phone list<QX>");
  struct Case {
    const char* in;
    bool strip;
    const char* out;
  } cases[] = {{"1012345678.0", false, "01012345678"},
               {"1012345678", false, "01012345678"},
               {"112345678", false, "0112345678"},
               {"010-1234-5678", false, "010-1234-5678"},
               {"010-1234-5678", true, "01012345678"},
               {"2012345678", false, "2012345678"},
               {"", true, ""}};
  for (const Case& c : cases) EXPECT_EQ(ExcelWorkbook::NormalizeCell(c.in, c.strip), c.out) << c.in;
}

TEST_F(ExcelWorkbookTest, CountDistinctAndItsErrors) {
  // Text compares as the spreadsheet driver compared it: ASCII case folded.
  Open("Sheet1", "name,phone\nx,1\nX,1\ny,\n,2\n");
  EXPECT_EQ(workbook_.CountDistinct("2<QX>Sheet1$<QX>name"), "2");
  EXPECT_EQ(workbook_.CountDistinct("2<QX>Sheet1$<QX>phone"), "2");  // 1 and 2; empty is NULL
  EXPECT_EQ(workbook_.CountDistinct("2<QX>Sheet1$<QX>nope"), "Exception:[no such column: nope]");
  EXPECT_EQ(workbook_.CountDistinct("2<QX>Sheet9$<QX>name"), "Exception:[no such table: Sheet9$]");
  // The workbook only reads, whatever the column text holds.
  EXPECT_TRUE(workbook_
                  .CountDistinct("2<QX>Sheet1$<QX>name from [Sheet1$]); DROP TABLE "
                                 "[Sheet1$]; --")
                  .starts_with("Exception:["));
  EXPECT_EQ(workbook_.CountRows("Sheet1$"), 4);
}

TEST_F(ExcelWorkbookTest, TemplateMarkers) {
  EXPECT_EQ(workbook_.ParseTemplate("Hello [name:4]"), 0);  // no field list
  EXPECT_EQ(workbook_.message_template(), "Hello [name:4]");
  EXPECT_EQ(workbook_.ParseTemplate("<Q>name<Q>x"), 0);  // "<Q>" at the start is no separator
  EXPECT_EQ(workbook_.message_template(), "<Q>name<Q>x");

  EXPECT_EQ(workbook_.ParseTemplate("name,a&comma;b,unused<Q>Hi [name:4]! [a,b:3] [name:4]"), 1);
  ASSERT_EQ(workbook_.field_count(), 3);
  EXPECT_EQ(workbook_.field_names(), (std::vector<std::string>{"name", "name", "a,b"}));
  EXPECT_EQ(workbook_.FieldList(), "[name],[name],[a,b]");
  std::string text = workbook_.ApplyField(0, workbook_.message_template(), "Kimberly");
  EXPECT_EQ(text, "Hi Kimb! [a,b:3] Kimb");
  EXPECT_EQ(workbook_.ApplyField(2, text, "xyzw"), "Hi Kimb! xyz Kimb");

  struct Case {
    const char* message;
    const char* value;
    const char* composed;
  } cases[] = {
      {"name<Q>Dear [name:6], hello", "Kimberly", "Dear Kimber, hello"},
      {"name<Q>[name:0]!", "Kim", "!"},
      {"name<Q>[name:]!", "Kim", "[name:]!"},  // recorded with width 0, never replaced
      {"name<Q>[name:5]", "\xEA\xB9\x80\xEC\xB2\xA0\xEC\x88\x98", "\xEA\xB9\x80\xEC\xB2\xA0"},
      {"name<Q>&lt;[name:3]&gt; &gacct;", "Kim", "<Kim> `"},
      {"other<Q>[name:3] &lt;", "Kim", "[name:3] &lt;"},  // no marker: left as sent
  };
  for (const Case& c : cases) {
    workbook_.ParseTemplate(A(c.message));
    std::string composed = workbook_.message_template();
    for (int k = 0; k < workbook_.field_count(); ++k) {
      composed = workbook_.ApplyField(k, std::move(composed), A(c.value));
    }
    EXPECT_EQ(AnsiToUtf8(composed), c.composed) << c.message;
  }

  // Only ten markers are recorded. A later marker of a recorded column is filled as every repeat
  // is; one of a column with no recorded marker stays as written.
  std::string eleven = "n,m<Q>";
  for (int i = 0; i < 11; ++i) eleven += "[n:1]";
  eleven += "[m:1]";
  workbook_.ParseTemplate(eleven);
  EXPECT_EQ(workbook_.field_count(), ExcelWorkbook::kMaxFields);
  std::string composed = workbook_.message_template();
  for (int k = 0; k < workbook_.field_count(); ++k)
    composed = workbook_.ApplyField(k, composed, "X");
  EXPECT_EQ(composed, "XXXXXXXXXXX[m:1]");
}

TEST_F(ExcelWorkbookTest, PreviewLines) {
  Open("Sheet1", A("phone,back,name\n"
                   "010-1234-5678,0212345678,김철수\n"
                   "1012345678.0,15881234,Kimberly\n"
                   "12345,,\"a,b\"\n"));
  // Two-column mode with a template.
  EXPECT_EQ(AnsiToUtf8(workbook_.Preview(A("3`Sheet1$`phone`back`name<Q>Hi [name:5]!`1"))),
            "010-1234-5678,021-234-5678,Hi 김철!<QX>"
            "010-1234-5678,15881234,Hi Kimbe!<QX>"
            "010-0000-0000,010-0000-0000,Hi a&comma;b!<QX>");
  // One-column mode: the literal second number, hyphens inserted only into 10 or more digits.
  EXPECT_EQ(workbook_.Preview("3`Sheet1$`phone`0212345678`plain <b>`11"),
            "010-1234-5678,021-234-5678,plain &lt;b&gt;<QX>"
            "010-1234-5678,021-234-5678,plain &lt;b&gt;<QX>"
            "010-0000-0000,021-234-5678,plain &lt;b&gt;<QX>");
  EXPECT_EQ(workbook_.Preview("3`Sheet1$`phone`1588-1234`x`11").substr(0, 25),
            "010-1234-5678,1588-1234,x");
  // A comma in the literal number arrives as "&comma;" and is shown as one.
  EXPECT_EQ(workbook_.Preview("3`Sheet1$`phone`02&comma;123`x`11").substr(0, 26),
            "010-1234-5678,02,123,x<QX>");
  EXPECT_EQ(workbook_.Preview("3`Sheet1$`fax`back`x`1"), "Exception:[no such column: fax]");

  std::string csv = "phone\n";
  for (int i = 0; i < 100; ++i) csv += "0101234" + std::to_string(1000 + i) + "\n";
  Open("many", csv);
  const std::string preview = workbook_.Preview("3`many$`phone`x`hi`11");
  EXPECT_EQ(preview.size(), 5 * std::string("010-1234-1000,x,hi<QX>").size()) << preview;
}

TEST_F(ExcelWorkbookTest, EveryFormatListsTheSame) {
  // The sheets of the xls fixture (made by testdata/make_fixtures.py), written again as .xlsx,
  // .ods and .csv: numbers, phone numbers stored as numbers and as text, dates, an empty header.
  using Row = std::vector<std::optional<WorkbookValue>>;
  const std::vector<SheetData> sheets = {
      {"Sheet1",
       {Row{std::string("이름"), std::string("phone"), std::nullopt, std::string("joined"),
            std::string("memo")},
        Row{std::string("김철수"), 1012345678.0, std::string("x"), WorkbookDate{45356}},
        Row{std::string("Lee"), std::string("01012345678"), std::nullopt,
            WorkbookDate{45356 + 13.75 / 24}, 2.5},
        Row{std::string("Park"), 1012345678.0, std::nullopt, WorkbookDate{45357}}}},
      {"Phone list",
       {Row{std::string("name"), std::string("phone")},
        Row{std::string("홍길동"), std::string("010-1234-5678")}}},
      {"Empty", {}}};
  std::string error;
  const std::filesystem::path xlsx = dir_.path() / "book.xlsx";
  const std::filesystem::path ods = dir_.path() / "book.ods";
  const std::filesystem::path csv = dir_.path() / "Sheet1.csv";
  ASSERT_TRUE(WriteXlsx(xlsx, sheets, XlsxOptions{}, &error)) << error;
  ASSERT_TRUE(WriteOds(ods, sheets, &error)) << error;
  ASSERT_TRUE(WriteCsv(csv, sheets[0], &error)) << error;

  auto listing = [this](const std::filesystem::path& file) {
    workbook_.OpenWorkbook(Utf8ToAnsi(file.string()));
    return AnsiToUtf8(workbook_.ListSheets());
  };
  const std::string expected =
      "Sheet1<QX>3<QX>이름,phone,F3,joined,memo<QX>"
      "김철수,01012345678,x,2024-03-05,<Q>Lee,01012345678,2024-03-05 13:45:00,2.5,<Q>"
      "Park,01012345678,2024-03-06,<QX>"
      "Phone list<QX>1<QX>name,phone<QX>홍길동,010-1234-5678,<QX>";
  EXPECT_EQ(listing(xlsx), expected);
  EXPECT_EQ(listing(ods), expected);
  EXPECT_EQ(listing(std::filesystem::path(PARLEY_EXCEL_TESTDATA) / "book.xls"), expected);
  EXPECT_EQ(listing(csv), expected.substr(0, expected.find("Phone list")));
}

TEST_F(ExcelWorkbookTest, UnreadableWorkbooksThrowWithAReason) {
  EXPECT_THROW(workbook_.OpenWorkbook(""), CDBException);
  const std::filesystem::path junk = dir_.path() / "junk.xlsx";
  std::ofstream(junk) << "not a workbook";
  try {
    workbook_.OpenWorkbook(junk.string());
    FAIL() << "opened junk";
  } catch (const CDBException& e) {
    EXPECT_FALSE(std::string(e.what()).empty());
  }
}

}  // namespace
}  // namespace parley
