// The Excel commands' working object on workbooks written by the tests: the sheet listing, the
// distinct count, the message template and the preview.
#include "sheets/excel_workbook.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "db/db_exception.h"
#include "db/excel_database.h"
#include "db/recordset.h"
#include "excel/workbook_loader.h"
#include "excel/workbook_writer.h"
#include "excel/xls_writer.h"
#include "testing/engine_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

// Engine text for a UTF-8 literal.
std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

// The EXCEL 1, 2 and 3 answers to a request body, as the UI program reads them.
std::string Listing(ExcelWorkbook& wb) { return protocol::SheetListingReply(wb.ListSheets()); }
std::string Count(ExcelWorkbook& wb, std::string_view body) {
  const protocol::CountRequest r = protocol::CountRequest::Parse(body);
  return AnswerText(wb.CountDistinct(r.sheet, r.column), [](const std::string& n) { return n; });
}
std::string Preview(ExcelWorkbook& wb, std::string_view body) {
  return AnswerText(wb.Preview(protocol::PreviewRequest::Parse(body)), protocol::PreviewLines);
}

class ExcelWorkbookTest : public ::testing::Test {
 protected:
  // Writes a CSV sheet named after `name` and opens it; its table is "<name>$".
  void Open(const std::string& name, const std::string& csv) {
    const std::filesystem::path file = dir_.path() / (name + ".csv");
    std::ofstream(file, std::ios::binary) << csv;
    workbook_.OpenWorkbook(file);
  }

  testing::TempDir dir_;
  ExcelWorkbook workbook_;
};

TEST_F(ExcelWorkbookTest, ListsTheSheetAsTheUiProgramExpects) {
  Open("Sheet1", "name,phone\nKim,01012345678\nLee,01098765432\n");
  EXPECT_EQ(Listing(workbook_),
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
  const std::string listing = Listing(workbook_);
  EXPECT_TRUE(listing.starts_with("wide<QX>12<QX>c1,c2,c3,c4,c5,c6,c7,c8<QX>0,1,2,3,4,5,6,7,<Q>"))
      << listing;
  EXPECT_TRUE(listing.ends_with("<Q>900,901,902,903,904,905,906,907,<QX>")) << listing;

  Open("odd", "\"a,b\",<x>,c\na,,c\n1012345678.0,010-1234-5678,\"x<y\"\n");
  EXPECT_EQ(Listing(workbook_),
            "odd<QX>2<QX>a&comma;b,&lt;x&gt;,c<QX>a,c,<Q>01012345678,010-1234-5678,x&lt;y,<QX>");

  // An empty first header cell: the old driver's name F1, the row count minus one, no names.
  Open("noheader", ",phone\nKim,010\nLee,011\nPark,012\nChoi,013\nJung,014\n");
  EXPECT_EQ(Listing(workbook_),
            "noheader<QX>4<QX><QX>Kim,010,<Q>Lee,011,<Q>Park,012,<Q>Choi,013,<Q>Jung,014,<QX>");

  // A sheet without rows lists nothing.
  Open("empty", "name,phone\n");
  EXPECT_EQ(Listing(workbook_), "");
}

TEST_F(ExcelWorkbookTest, SheetTitleAndNormalizeCell) {
  EXPECT_EQ(ExcelWorkbook::SheetTitle("Sheet1$"), "Sheet1");
  EXPECT_EQ(ExcelWorkbook::SheetTitle("'Phone list$'"), "Phone list");
  EXPECT_EQ(ExcelWorkbook::SheetTitle("US$ prices$"), "US$ prices");
  struct Case {
    const char* in;
    bool strip;
    const char* out;
  } cases[] = {{"1012345678.0", false, "01012345678"}, {"1012345678", false, "01012345678"},
               {"112345678", false, "0112345678"},     {"010-1234-5678", false, "010-1234-5678"},
               {"010-1234-5678", true, "01012345678"}, {"2012345678", false, "2012345678"},
               {"1947-01-08", false, "1947-01-08"},  // a date, not a number that lost its 0
               {"1.23456789", false, "1.23456789"},    {"", true, ""}};
  for (const Case& c : cases) EXPECT_EQ(ExcelWorkbook::NormalizeCell(c.in, c.strip), c.out) << c.in;
}

TEST_F(ExcelWorkbookTest, CountDistinctAndItsErrors) {
  // Text compares as the spreadsheet driver compared it: ASCII case folded.
  Open("Sheet1", "name,phone\nx,1\nX,1\ny,\n,2\n");
  EXPECT_EQ(Count(workbook_, "2<QX>Sheet1$<QX>name"), "2");
  EXPECT_EQ(Count(workbook_, "2<QX>Sheet1$<QX>phone"), "2");  // 1 and 2; empty is NULL
  EXPECT_EQ(Count(workbook_, "2<QX>Sheet1$<QX>nope"), "Exception:[no such column: nope]");
  EXPECT_EQ(Count(workbook_, "2<QX>Sheet9$<QX>name"), "Exception:[no such table: Sheet9$]");
  // The workbook only reads, whatever the column text holds.
  EXPECT_TRUE(Count(workbook_,
                    "2<QX>Sheet1$<QX>name from [Sheet1$]); DROP TABLE "
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
  EXPECT_EQ(workbook_.RowQuery("s$", "p", "b", true, false),
            R"(select "p", "b", "name", "name", "a,b" from "s$")");
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
  EXPECT_EQ(AnsiToUtf8(Preview(workbook_, A("3`Sheet1$`phone`back`name<Q>Hi [name:5]!`1"))),
            "010-1234-5678,021-234-5678,Hi 김철!<QX>"
            "010-1234-5678,15881234,Hi Kimbe!<QX>"
            "010-0000-0000,010-0000-0000,Hi a&comma;b!<QX>");
  // One-column mode: the literal second number, hyphens inserted only into 10 or more digits.
  EXPECT_EQ(Preview(workbook_, "3`Sheet1$`phone`0212345678`plain <b>`11"),
            "010-1234-5678,021-234-5678,plain &lt;b&gt;<QX>"
            "010-1234-5678,021-234-5678,plain &lt;b&gt;<QX>"
            "010-0000-0000,021-234-5678,plain &lt;b&gt;<QX>");
  EXPECT_EQ(Preview(workbook_, "3`Sheet1$`phone`1588-1234`x`11").substr(0, 25),
            "010-1234-5678,1588-1234,x");
  // A comma in the literal number arrives as "&comma;" and is shown as one.
  EXPECT_EQ(Preview(workbook_, "3`Sheet1$`phone`02&comma;123`x`11").substr(0, 26),
            "010-1234-5678,02,123,x<QX>");
  EXPECT_EQ(Preview(workbook_, "3`Sheet1$`fax`back`x`1"), "Exception:[no such column: fax]");

  std::string csv = "phone\n";
  for (int i = 0; i < 100; ++i) csv += "0101234" + std::to_string(1000 + i) + "\n";
  Open("many", csv);
  const std::string preview = Preview(workbook_, "3`many$`phone`x`hi`11");
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
    workbook_.OpenWorkbook(file);
    return AnsiToUtf8(Listing(workbook_));
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

TEST_F(ExcelWorkbookTest, AnEmptyFirstHeaderCellKeepsItsColumnInEveryFormat) {
  // A1 empty: the sheet's columns still begin at A, whose cells below are stored under the
  // driver's name F1; the listing counts the rows below the header and names no columns.
  using Row = std::vector<std::optional<WorkbookValue>>;
  const SheetData sheet = {
      "Sheet1",
      {Row{std::nullopt, std::string("phone"), std::string("memo")},
       Row{std::string("Kim"), std::string("01011112222")},
       Row{std::string("Lee"), std::string("01033334444"), std::string("x")},
       Row{std::nullopt, std::string("01055556666")}, Row{std::string("Kim")}}};
  const std::filesystem::path xlsx = dir_.path() / "book.xlsx";
  const std::filesystem::path ods = dir_.path() / "book.ods";
  const std::filesystem::path xls = dir_.path() / "book.xls";
  const std::filesystem::path csv = dir_.path() / "Sheet1.csv";
  std::string error;
  ASSERT_TRUE(WriteXlsx(xlsx, {sheet}, XlsxOptions{}, &error)) << error;
  ASSERT_TRUE(WriteOds(ods, {sheet}, &error)) << error;
  ASSERT_TRUE(WriteXls(xls, {sheet}, &error)) << error;
  ASSERT_TRUE(WriteCsv(csv, sheet, &error)) << error;
  for (const std::filesystem::path& file : {xlsx, ods, xls, csv}) {
    workbook_.OpenWorkbook(file);
    EXPECT_EQ(Listing(workbook_),
              "Sheet1<QX>3<QX><QX>Kim,01011112222,<Q>Lee,01033334444,x,<Q>01055556666,<Q>Kim,<QX>")
        << file.filename();
    std::vector<std::string> columns;
    workbook_.database()->GetFields("Sheet1$", &columns);
    EXPECT_EQ(columns, (std::vector<std::string>{"F1", "phone", "memo"})) << file.filename();
    EXPECT_EQ(Count(workbook_, "2<QX>Sheet1$<QX>F1"), "2") << file.filename();
  }
}

TEST_F(ExcelWorkbookTest, XlwtFormulasAndBooleansListAsTheirXlsxTwin) {
  // Made by testdata/make_fixtures.py: formulas of constants, which xlwt stores without their
  // value, booleans and an error value; the twin holds the values Excel shows for them.
  const std::filesystem::path testdata(PARLEY_EXCEL_TESTDATA);
  const std::string expected =
      "Values<QX>12<QX>formula,value<QX>1+1,2,<Q>2.5*2,5,<Q>-3+1,-2,<Q>(1+2)*3,9,<Q>10/4,2.5,<Q>"
      "50%,0.5,<Q>1&lt;2,TRUE,<Q>\"a\"&\"b\",ab,<Q>1/0,<Q>true,TRUE,<QX>";
  for (const char* file : {"xlwt_values.xls", "openpyxl_values.xlsx"}) {
    workbook_.OpenWorkbook(testdata / file);
    EXPECT_EQ(Listing(workbook_), expected) << file;
    // Past the ten rows listed, FALSE and the error, which is NULL: nine values, TRUE twice.
    EXPECT_EQ(Count(workbook_, "2<QX>Values$<QX>value"), "9") << file;
  }
}

TEST_F(ExcelWorkbookTest, UnreadableWorkbooksThrowWithAReason) {
  EXPECT_THROW(workbook_.OpenWorkbook(""), CDBException);
  const std::filesystem::path junk = dir_.path() / "junk.xlsx";
  std::ofstream(junk) << "not a workbook";
  try {
    workbook_.OpenWorkbook(junk);
    FAIL() << "opened junk";
  } catch (const CDBException& e) {
    EXPECT_FALSE(std::string(e.what()).empty());
  }
}

using Row = std::vector<std::optional<WorkbookValue>>;

Row TextRow(std::initializer_list<const char*> cells) {
  Row row;
  for (const char* cell : cells) row.emplace_back(std::string(cell));
  return row;
}

// A sheet name and a column name written to turn the old bracketed queries into joins of sheet
// x with itself.
constexpr char kCraftedSheet[] = "x$],[x$]a,[x$]b,[x$]c,[x$]d--";
constexpr char kCraftedColumn[] = "phone] from [x$],[x$]a,[x$]b)--";

class CraftedNamesTest : public ExcelWorkbookTest {
 protected:
  void SetUp() override {
    const std::vector<SheetData> sheets = {
        {"x",
         {TextRow({"phone", "name"}), TextRow({"01011112222", "Kim"}),
          TextRow({"01033334444", "Lee"}), TextRow({"01055556666", "Park"})}},
        {kCraftedSheet,
         {TextRow({kCraftedColumn, "name", "[tag]"}), TextRow({"01077778888", "Choi", "a"}),
          TextRow({"01077778888", "Jung", "a"})}}};
    std::string error;
    ASSERT_TRUE(WriteXlsx(file_, sheets, XlsxOptions{}, &error)) << error;
    workbook_.OpenWorkbook(file_);
  }

  const std::filesystem::path file_ = dir_.path() / "crafted.xlsx";
};

TEST_F(CraftedNamesTest, NamesAreOnlyEverNames) {
  const std::string sheet = std::string(kCraftedSheet) + "$";
  EXPECT_EQ(Listing(workbook_),
            "x<QX>3<QX>phone,name<QX>01011112222,Kim,<Q>01033334444,Lee,<Q>01055556666,Park,<QX>"
            "x$],[x$]a,[x$]b,[x$]c,[x$]d--<QX>2<QX>"
            "phone] from [x$]&comma;[x$]a&comma;[x$]b)--,name,[tag]<QX>"
            "01077778888,Choi,a,<Q>01077778888,Jung,a,<QX>");
  EXPECT_EQ(workbook_.CountRows(sheet), 2);
  // The count request's column arrives bare or bracketed.
  EXPECT_EQ(Count(workbook_, "2<QX>" + sheet + "<QX>" + kCraftedColumn), "1");
  EXPECT_EQ(Count(workbook_, "2<QX>" + sheet + "<QX>[" + kCraftedColumn + "]"), "1");
  EXPECT_EQ(Count(workbook_, "2<QX>" + sheet + "<QX>[name]"), "2");
  EXPECT_EQ(Count(workbook_, "2<QX>" + sheet + "<QX>[tag]"), "1");
  EXPECT_EQ(Count(workbook_, "2<QX>" + sheet + "<QX>[[tag]]"), "1");
  EXPECT_EQ(Count(workbook_, "2<QX>x$<QX>[phone] from [x$],[x$]a)--"),
            "Exception:[no such column: [phone] from [x$],[x$]a)--]");
  EXPECT_EQ(Preview(workbook_, "3`" + sheet + "`" + kCraftedColumn + "`name`name<Q>[name:4]`1"),
            "010-7777-8888,Choi,Choi<QX>010-7777-8888,Jung,Jung<QX>");
  EXPECT_EQ(Preview(workbook_, "3`" + sheet + "`phone`name`hi`1"),
            "Exception:[no such column: phone]");
}

TEST_F(ExcelWorkbookTest, EveryQueryHasABudget) {
  // Ten thousand rows of two columns, and twelve rows of two hundred columns.
  SheetData many{"many", {TextRow({"phone", "name"})}};
  for (int i = 0; i < 10000; ++i) {
    many.rows.push_back(Row{std::string("0101111") + std::to_string(1000 + i % 9000), 1.0 * i});
  }
  SheetData wide{"wide", {}};
  for (int r = 0; r < 12; ++r) wide.rows.push_back(Row(200, std::string("w")));
  std::string error;
  const std::filesystem::path file = dir_.path() / "big.xlsx";
  ASSERT_TRUE(WriteXlsx(file, {many, wide}, XlsxOptions{}, &error)) << error;
  workbook_.OpenWorkbook(file);
  EXPECT_TRUE(Listing(workbook_).starts_with("many<QX>10000<QX>phone,name<QX>"));
  EXPECT_EQ(Count(workbook_, "2<QX>many$<QX>phone"), "9000");

  // A budget these ordinary queries go over stands for a query that would hold the engine: each
  // is stopped with the reason, and the listing does not pass over it as one failing sheet.
  workbook_.database()->set_query_budget({std::chrono::milliseconds(0), 1000});
  auto stopped = [](auto run) {
    try {
      run();
    } catch (const CDBException& e) {
      EXPECT_EQ(e.code(), SQLITE_INTERRUPT);
      return std::string(e.what());
    }
    return std::string("(ran to its end)");
  };
  const std::string reason =
      "query stopped: it reached the limit of 1000 instructions for one query";
  EXPECT_EQ(stopped([&] { workbook_.ListSheets(); }), reason);
  EXPECT_EQ(stopped([&] { Count(workbook_, "2<QX>many$<QX>phone"); }), reason);
}

TEST_F(ExcelWorkbookTest, ASheetThatCannotBeReadLeavesTheOthersListed) {
  Open("Sheet1", "name\nKim\n");
  workbook_.database()->table_names().insert(workbook_.database()->table_names().begin(), "gone$");
  EXPECT_EQ(Listing(workbook_), "Sheet1<QX>1<QX>name<QX>Kim,<QX>");
}

TEST_F(ExcelWorkbookTest, NamesOutsideCp949) {
  // Characters the engine's text cannot hold show as "?", and the sheet and column are reached
  // by that name; the sheets around it are listed as always.
  const std::vector<SheetData> sheets = {
      {"연락처😀",
       {TextRow({"이름😀", "phone"}), TextRow({"김", "01011112222"}),
        TextRow({"이", "01011112222"})}},
      {"Sheet2", {TextRow({"name"}), TextRow({"Lee"})}}};
  std::string error;
  const std::filesystem::path file = dir_.path() / "emoji.xlsx";
  ASSERT_TRUE(WriteXlsx(file, sheets, XlsxOptions{}, &error)) << error;
  workbook_.OpenWorkbook(file);
  EXPECT_EQ(workbook_.database()->table_names(),
            (std::vector<std::string>{A("연락처?$"), "Sheet2$"}));
  EXPECT_EQ(Listing(workbook_), A("연락처?<QX>2<QX>이름?,phone<QX>김,01011112222,<Q>"
                                  "이,01011112222,<QX>Sheet2<QX>1<QX>name<QX>Lee,<QX>"));
  EXPECT_EQ(Count(workbook_, A("2<QX>연락처?$<QX>이름?")), "2");
  EXPECT_EQ(Count(workbook_, A("2<QX>연락처?$<QX>phone")), "1");

  // A file whose name CP949 cannot hold opens under its own name: a CSV's sheet is named after it.
  const std::filesystem::path csv = dir_.path() / "ő-accent😀.csv";
  std::ofstream(csv, std::ios::binary) << "name\nKim\n";
  workbook_.OpenWorkbook(csv);
  EXPECT_EQ(Listing(workbook_), "?-accent?<QX>1<QX>name<QX>Kim,<QX>");
}

TEST_F(ExcelWorkbookTest, CommandsShareACachedWorkbookWhileASendReadsIt) {
  const std::filesystem::path file = dir_.path() / "rows.csv";
  std::ofstream(file, std::ios::binary) << "phone\n01011112222\n01033334444\n";
  WorkbookCache cache;
  ExcelWorkbook sending;
  sending.OpenWorkbook(file, &cache);
  CRecordset rows(*sending.database());
  rows.Open(sending.RowQuery("rows$", "phone", "", false, false));  // a send between two rows

  ExcelWorkbook listing;
  listing.OpenWorkbook(file, &cache);
  EXPECT_EQ(listing.database()->handle(), sending.database()->handle());  // one connection
  EXPECT_EQ(Listing(listing), "rows<QX>2<QX>phone<QX>01011112222,<Q>01033334444,<QX>");
  EXPECT_EQ(Count(listing, "2<QX>rows$<QX>phone"), "2");

  EXPECT_EQ(rows.GetFieldValue(0), "01011112222");
  rows.MoveNext();
  EXPECT_EQ(rows.GetFieldValue(0), "01033334444");
}

}  // namespace
}  // namespace parley
