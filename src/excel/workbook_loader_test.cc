#include "excel/workbook_loader.h"
#include "excel/workbook_bomb.h"
#include "excel/zip_entry_reader.h"

#include <atomic>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/excel_database.h"
#include "db/sql_text.h"
#include "excel/sheet_table_sink.h"
#include "excel/workbook_writer.h"

namespace parley {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

const fs::path kBook = fs::path(PARLEY_EXCEL_TESTDATA) / "book.xls";

// Runs sql and returns its rows ("<NULL>" for NULL), or one row holding "error: <reason>".
Rows Query(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    return {{std::string("error: ") + sqlite3_errmsg(db)}};
  }
  Rows rows;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      const unsigned char* text = sqlite3_column_text(stmt, i);
      row.push_back(text == nullptr ? "<NULL>" : reinterpret_cast<const char*>(text));
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) return {{std::string("error: ") + sqlite3_errmsg(db)}};
  return rows;
}

std::vector<std::string> Columns(sqlite3* db, const std::string& table) {
  std::vector<std::string> names;
  sqlite3_stmt* stmt = nullptr;
  std::string sql = "SELECT * FROM " + QuoteIdentifier(table);
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return names;
  for (int i = 0; i < sqlite3_column_count(stmt); ++i)
    names.push_back(sqlite3_column_name(stmt, i));
  sqlite3_finalize(stmt);
  return names;
}

class WorkbookLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("workbook_loader_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::string& bytes) {
    fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::shared_ptr<sqlite3> Load(const fs::path& path) {
    std::string error;
    std::shared_ptr<sqlite3> db = LoadWorkbook(path, &error);
    EXPECT_NE(db, nullptr) << error;
    return db;
  }

  fs::path dir_;
};

TEST_F(WorkbookLoaderTest, XlsSheetsBecomeTables) {
  auto db = Load(kBook);
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(Query(db.get(), "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"),
            (Rows{{"Sheet1$"}, {"Phone list$"}, {"Empty$"}}));
  EXPECT_EQ(Columns(db.get(), "Sheet1$"),
            (std::vector<std::string>{"이름", "phone", "F3", "joined", "memo"}));
  EXPECT_EQ(Query(db.get(), "select * from [Sheet1$]"),
            (Rows{{"김철수", "1012345678", "x", "2024-03-05", "<NULL>"},
                  {"Lee", "01012345678", "<NULL>", "2024-03-05 13:45:00", "2.5"},
                  {"Park", "1012345678", "<NULL>", "2024-03-06", "<NULL>"}}));
  EXPECT_EQ(Query(db.get(), "select count(*) from [Sheet1$] "), (Rows{{"3"}}));
  // Numbers are stored as text, so a number and its text are one value.
  EXPECT_EQ(Query(db.get(),
                  "SELECT count(*) from (SELECT DISTINCT phone from [Sheet1$] where phone is not "
                  "null)"),
            (Rows{{"2"}}));
  EXPECT_EQ(Query(db.get(), "select count(*) from [Sheet1$] where phone = 1012345678"),
            (Rows{{"2"}}));
  EXPECT_EQ(Query(db.get(), "select distinct typeof(memo) from [Sheet1$] where memo is not null"),
            (Rows{{"text"}}));
  // A spaced sheet name answers under the apostrophe form too.
  EXPECT_EQ(Query(db.get(), "select * from ['Phone list$']"), (Rows{{"홍길동", "010-1234-5678"}}));
  EXPECT_EQ(Columns(db.get(), "Empty$"), std::vector<std::string>{"F1"});
  EXPECT_EQ(Query(db.get(), "select count(*) from [Empty$]"), (Rows{{"0"}}));
}

// Sheets are compared as the spreadsheet driver compared them: without regard to case.
TEST_F(WorkbookLoaderTest, ValuesCompareWithoutCase) {
  auto db = Load(Write("c.csv", "name,phone\nKim,1\nKIM,2\nkim,3\nLee,4\n"));
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(Query(db.get(), "select count(*) from (select distinct name from [c$])"),
            (Rows{{"2"}}));
  EXPECT_EQ(Query(db.get(), "select count(*) from [c$] where name = 'kIM'"), (Rows{{"3"}}));
  EXPECT_EQ(Query(db.get(), "select phone from [c$] order by name desc, phone limit 2"),
            (Rows{{"4"}, {"1"}}));
  EXPECT_EQ(Query(db.get(), "select rowid, phone from [c$] where rowid = 2"), (Rows{{"2", "2"}}));
}

TEST_F(WorkbookLoaderTest, ColumnNaming) {
  struct Case {
    const char* name;
    std::string csv;
    std::vector<std::string> columns;
  } cases[] = {
      {"empty first header", ",phone\nKim,010\n", {"F1", "phone"}},
      {"duplicates, case folded", "a,A,b,a\n1\n", {"a", "F2", "b", "F4"}},
      {"duplicate of a generated name", "F2,,x\n1\n", {"F2", "F2_2", "x"}},
      {"cells right of the header", "a\n1,2,,4\n", {"a", "F2", "F3", "F4"}},
      {"a row right of the header, then a shorter one",
       "a,b,c\n1,,,,x\n1\n",
       {"a", "b", "c", "F4", "F5"}},
      {"cells right of the header after blank columns",
       ",,a\n,,1,,,4\n,,2\n",
       {"a", "F2", "F3", "F4"}},
      {"no cells at all", "", {"F1"}},
      // The used range: blank rows above and blank columns left of the data are not part of it.
      {"blank rows above", "\n,\nname,phone\nKim,010\n", {"name", "phone"}},
      {"blank columns left", ",,name,phone\n,,Kim,010\n", {"name", "phone"}},
      {"empty header in the range", ",,,phone\n,,Kim,010\n", {"F1", "phone"}},
      {"a later row further left", "\n,,name\n,x,Kim\n", {"F1", "name"}},
  };
  for (const Case& c : cases) {
    auto db = Load(Write("s.csv", c.csv));
    ASSERT_NE(db, nullptr) << c.name;
    EXPECT_EQ(Columns(db.get(), "s$"), c.columns) << c.name;
  }
  auto db = Load(Write("s.csv", "\n,,,name,phone\n,,,Kim,010\n,,,,011\n"));
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(Query(db.get(), "select * from [s$]"), (Rows{{"Kim", "010"}, {"<NULL>", "011"}}));
}

// The columns read begin at the first column holding a value, wherever it lies.
TEST_F(WorkbookLoaderTest, ColumnsFromTheFirstHoldingAValue) {
  const std::string left(300, ',');  // cells up to column 300 empty
  struct Case {
    const char* name;
    std::string csv;
    size_t columns;
    std::vector<std::string> first_columns;
    Rows rows;
  } cases[] = {
      {"data only beyond column 256",
       left + "name,phone\n" + left + "Kim,010\n",
       2,
       {"name", "phone"},
       {{"Kim"}}},
      // A later row 200 columns further left moves the range; the cell 256 columns right of
      // it is not read.
      {"a later row further left",
       left + "name\n" + std::string(100, ',') + "x" + std::string(299, ',') + "far\n" + left +
           "Kim\n",
       201,
       {"F1", "F2"},
       {{"x"}, {"<NULL>"}}},
  };
  for (const Case& c : cases) {
    auto db = Load(Write("s.csv", c.csv));
    ASSERT_NE(db, nullptr) << c.name;
    const std::vector<std::string> columns = Columns(db.get(), "s$");
    ASSERT_EQ(columns.size(), c.columns) << c.name;
    EXPECT_TRUE(std::equal(c.first_columns.begin(), c.first_columns.end(), columns.begin()))
        << c.name << ": " << columns[0];
    EXPECT_EQ(Query(db.get(), "select " + QuoteIdentifier(columns[0]) + " from [s$]"), c.rows)
        << c.name;
  }
  // The .xlsx and .ods readers hand on every column, and those left of the first row's too:
  // sheet t is the case of a later row further left.
  using Row = std::vector<std::optional<WorkbookValue>>;
  Row header(300), row(300), left_row(400);
  header.push_back(WorkbookValue(std::string("name")));
  row.push_back(WorkbookValue(std::string("Kim")));
  left_row[100] = WorkbookValue(std::string("x"));
  left_row.push_back(WorkbookValue(std::string("far")));
  const std::vector<SheetData> sheets = {{"s", {header, row}}, {"t", {header, left_row, row}}};
  std::string error;
  ASSERT_TRUE(WriteXlsx(dir_ / "s.xlsx", sheets, XlsxOptions{}, &error)) << error;
  ASSERT_TRUE(WriteOds(dir_ / "s.ods", sheets, &error)) << error;
  for (const char* file : {"s.xlsx", "s.ods"}) {
    auto db = Load(dir_ / file);
    ASSERT_NE(db, nullptr) << file;
    EXPECT_EQ(Query(db.get(), "select name from [s$]"), (Rows{{"Kim"}})) << file;
    EXPECT_EQ(Columns(db.get(), "t$").size(), 201u) << file;
    EXPECT_EQ(Query(db.get(), "select F1, name from [t$]"),
              (Rows{{"x", "<NULL>"}, {"<NULL>", "Kim"}}))
        << file;
  }
}

TEST_F(WorkbookLoaderTest, CsvRowsAndNames) {
  auto db = Load(Write("a]b\"c d.csv", "h,i\n1,\n\n,2\n3,4,5\n"));
  ASSERT_NE(db, nullptr);
  // The blank line is not a row; the cell right of the header added column F3.
  EXPECT_EQ(Query(db.get(), "select * from " + QuoteIdentifier("a]b\"c d$")),
            (Rows{{"1", "<NULL>", "<NULL>"}, {"<NULL>", "2", "<NULL>"}, {"3", "4", "5"}}));
  EXPECT_EQ(Query(db.get(), "select count(*) from " + QuoteIdentifier("'a]b\"c d$'")),
            (Rows{{"3"}}));
}

TEST_F(WorkbookLoaderTest, Limits) {
  std::string wide;
  for (int i = 0; i < 300; ++i) wide += "c" + std::to_string(i) + ",";
  std::string long_text;
  for (int i = 0; i < 20000; ++i) long_text += "가";  // 3 bytes each
  auto db = Load(Write("big.csv", wide + "\n" + long_text + "\n"));
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(Columns(db.get(), "big$").size(), 256u);
  // Cut at a character boundary: 32 KiB holds 10922 whole characters.
  EXPECT_EQ(Query(db.get(), "select length(c0), length(CAST(c0 AS BLOB)) from [big$]"),
            (Rows{{"10922", "32766"}}));
}

// A stopping engine ends a load at once, whatever the format, with its reason.
TEST_F(WorkbookLoaderTest, ALoadTheEngineStopsEndsWithItsReason) {
  const std::vector<SheetData> sheets = {{"S", {{std::string("phone")}, {std::string("010")}}}};
  std::string error;
  ASSERT_TRUE(WriteXlsx(dir_ / "s.xlsx", sheets, XlsxOptions{}, &error)) << error;
  ASSERT_TRUE(WriteOds(dir_ / "s.ods", sheets, &error)) << error;
  const std::atomic<bool> stop{true};
  LoadLimits limits;
  limits.stop = &stop;
  for (const fs::path& file : {Write("s.csv", "phone\n010\n"), dir_ / "s.xlsx", dir_ / "s.ods"}) {
    SCOPED_TRACE(file.filename().string());
    error.clear();
    EXPECT_EQ(LoadWorkbook(file, limits, &error), nullptr);
    EXPECT_NE(error.find(kStoppedReason), std::string::npos) << error;
  }
}

TEST_F(WorkbookLoaderTest, ConnectionOnlyReads) {
  auto db = Load(kBook);
  ASSERT_NE(db, nullptr);
  for (const char* sql :
       {"PRAGMA query_only=0", "INSERT INTO [Sheet1$] (phone) VALUES ('1')",
        "UPDATE [Sheet1$] SET phone = '1'", "DELETE FROM [Sheet1$]", "DROP TABLE [Sheet1$]",
        "CREATE TABLE t (x)", "ATTACH ':memory:' AS x", "BEGIN", "SELECT load_extension('x')"}) {
    Rows rows = Query(db.get(), sql);
    ASSERT_FALSE(rows.empty()) << sql;
    EXPECT_EQ(rows[0][0].rfind("error: ", 0), 0u) << sql;
  }
  EXPECT_EQ(Query(db.get(), "select count(*) from [Sheet1$]"), (Rows{{"3"}}));
  // The caller still adds its own functions afterwards.
  auto answer = [](sqlite3_context* context, int, sqlite3_value**) {
    sqlite3_result_text(context, "now", -1, SQLITE_STATIC);
  };
  ASSERT_EQ(sqlite3_create_function_v2(db.get(), "Now", 0, SQLITE_UTF8, nullptr, answer, nullptr,
                                       nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(Query(db.get(), "select Now()"), (Rows{{"now"}}));
}

// The database layer lists sheets and columns through the locked connection.
TEST_F(WorkbookLoaderTest, DatabaseLayerReadsTheCatalogue) {
  CExcelDatabase database;
  ASSERT_TRUE(database.AdoptShared(Load(kBook))) << database.last_error();
  EXPECT_EQ(database.table_names(), (std::vector<std::string>{"Sheet1$", "Phone list$", "Empty$"}));
  std::vector<std::string> fields;
  ASSERT_TRUE(database.GetFields("'Phone list$'", &fields)) << database.last_error();
  EXPECT_EQ(fields, (std::vector<std::string>{"name", "phone"}));
}

TEST_F(WorkbookLoaderTest, UnreadableFiles) {
  fs::path missing = dir_ / "none.xlsx";
  struct Case {
    const char* name;
    fs::path path;
    std::string reason;
  } cases[] = {
      {"missing", missing, "cannot open " + missing.string() + ": No such file or directory"},
      {"empty path", fs::path(), "no workbook was given"},
      {"directory", dir_, "Is a directory"},
      {"random bytes as .xlsx", Write("r.xlsx", "\x7F\x01garbage\xFF"), "not a workbook"},
      {"empty .xls", Write("e.xls", ""), "not a workbook"},
      {"other extension", Write("notes.pdf", "name,phone\n"), "not a workbook"},
      {"broken zip", Write("z.xlsx", std::string("PK\x03\x04", 4) + std::string(100, '\x01')), ""},
      {"broken compound file",
       Write("c.xls", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, 'x')),
       "not an Excel workbook"},
  };
  // Two parts of one name (names compare without case): which one is the part is ambiguous.
  const fs::path twice = dir_ / "twice.xlsx";
  std::string written;
  ASSERT_TRUE(WriteRepeatedZip(twice,
                               {{"[Content_Types].xml", "<Types/>", "", 0, "", false},
                                {"xl/workbook.xml", "<workbook/>", "", 0, "", false},
                                {"xl/Workbook.xml", "<workbook/>", "", 0, "", false}},
                               &written))
      << written;
  std::string reason;
  EXPECT_EQ(LoadWorkbook(twice, &reason), nullptr);
  EXPECT_NE(reason.find("two parts named xl/Workbook.xml"), std::string::npos) << reason;
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(LoadWorkbook(c.path, &error), nullptr) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
  }
}

// A part whose compressed data, size or checksum disagrees with the archive is refused, naming
// the part, rather than listed with whatever it inflates to.
// A part read into small pieces: once the inflater has taken the last compressed bytes it may
// still hold output, which must come out (a 999,999-row sheet was refused as cut short).
TEST_F(WorkbookLoaderTest, APartReadInSmallPiecesComesOutWhole) {
  SheetData sheet{"Sheet1", {{std::string("name"), std::string("phone")}}};
  for (int i = 0; i < 2000; ++i) {
    sheet.rows.push_back({std::string("name " + std::to_string(i)),
                          std::string("010-1234-" + std::to_string(1000 + i % 9000))});
  }
  std::string error;
  const fs::path file = dir_ / "pieces.xlsx";
  ASSERT_TRUE(WriteXlsx(file, {sheet}, XlsxOptions{false, false}, &error)) << error;
  int code = 0;
  zip_t* archive = zip_open(file.c_str(), ZIP_RDONLY, &code);
  ASSERT_NE(archive, nullptr);
  const std::string part = "xl/worksheets/sheet1.xml";
  const zip_int64_t index = zip_name_locate(archive, part.c_str(), 0);
  ASSERT_GE(index, 0);
  zip_stat_t stat;
  ASSERT_EQ(zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat), 0);
  for (const size_t piece : {size_t{1}, size_t{7}, size_t{4096}}) {
    SCOPED_TRACE(piece);
    auto reader = ZipEntryReader::Open(archive, static_cast<uint64_t>(index), part, &error);
    ASSERT_NE(reader, nullptr) << error;
    std::string buffer(piece, '\0');
    uint64_t total = 0;
    int64_t got = 0;
    while ((got = reader->Read(buffer.data(), buffer.size(), &error)) > 0) {
      total += static_cast<uint64_t>(got);
    }
    EXPECT_EQ(got, 0) << error;
    EXPECT_EQ(total, stat.size);
  }
  zip_discard(archive);
}

TEST_F(WorkbookLoaderTest, DamagedPartsAreRefused) {
  SheetData sheet{"Sheet1", {{std::string("name"), std::string("phone")}}};
  for (int i = 0; i < 3000; ++i) {
    sheet.rows.push_back({std::string("name " + std::to_string(i)),
                          std::string("010-1234-" + std::to_string(1000 + i % 9000))});
  }
  std::string error;
  const fs::path good = dir_ / "good.xlsx";
  ASSERT_TRUE(WriteXlsx(good, {sheet}, XlsxOptions{false, false}, &error)) << error;
  std::ifstream in(good, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string part = "xl/worksheets/sheet1.xml";
  const size_t local_name = bytes.find(part);
  const size_t central_name = bytes.find(part, local_name + part.size());
  ASSERT_NE(central_name, std::string::npos);
  const size_t local = local_name - 30;      // local file header
  const size_t central = central_name - 46;  // central directory header
  auto u16 = [&](size_t at) {
    return static_cast<size_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
  };
  const size_t data = local_name + part.size() + u16(local + 28);
  const size_t compressed = u16(local + 18) | u16(local + 20) << 16;
  ASSERT_GT(compressed, 1000u);
  auto bump = [](std::string* b, size_t at) { (*b)[at] = static_cast<char>((*b)[at] + 1); };

  std::string damaged = bytes;
  std::fill_n(damaged.begin() + static_cast<std::ptrdiff_t>(data + compressed / 2), 64, '\xff');
  std::string wrong_crc = bytes;
  bump(&wrong_crc, local + 14);
  bump(&wrong_crc, central + 16);
  std::string wrong_size = bytes;
  bump(&wrong_size, local + 22);
  bump(&wrong_size, central + 24);
  std::string cut = bytes;  // the directory says the compressed data ends halfway
  for (size_t at : {local + 18, central + 20}) {
    for (int k = 0; k < 4; ++k) cut[at + k] = static_cast<char>((compressed / 2) >> (8 * k));
  }

  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {{"damaged data", damaged},
               {"wrong checksum", wrong_crc},
               {"wrong size", wrong_size},
               {"data cut short", cut}};
  for (const auto& c : cases) {
    const fs::path path = Write(std::string(c.name) + ".xlsx", c.bytes);
    EXPECT_EQ(LoadWorkbook(path, &error), nullptr) << c.name;
    EXPECT_NE(error.find("xl/worksheets/sheet1.xml"), std::string::npos) << c.name << ": " << error;
  }
  EXPECT_NE(LoadWorkbook(good, &error), nullptr) << error;
}

TEST_F(WorkbookLoaderTest, CacheFollowsTheFile) {
  fs::path path = Write("list.csv", "phone\n010\n");
  WorkbookCache cache;
  std::string error;
  auto first = cache.Open(path, &error);
  ASSERT_NE(first, nullptr) << error;
  EXPECT_EQ(cache.Open(path, &error), first);

  // Same size, new modification time.
  Write("list.csv", "phone\n011\n");
  fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(5));
  auto touched = cache.Open(path, &error);
  ASSERT_NE(touched, nullptr) << error;
  EXPECT_NE(touched, first);
  EXPECT_EQ(Query(touched.get(), "select phone from [list$]"), (Rows{{"011"}}));

  // New size.
  Write("list.csv", "phone\n011\n012\n");
  auto grown = cache.Open(path, &error);
  ASSERT_NE(grown, nullptr) << error;
  EXPECT_EQ(Query(grown.get(), "select count(*) from [list$]"), (Rows{{"2"}}));

  fs::remove(path);
  EXPECT_EQ(cache.Open(path, &error), nullptr);
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  Write("list.csv", "phone\n011\n012\n");
  fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(5));
  auto again = cache.Open(path, &error);
  ASSERT_NE(again, nullptr) << error;
  EXPECT_NE(again, grown);
}

// Sheet names that SQLite would take for the same table, or keeps for itself, are left out, and a
// view never takes the name of a table.
TEST(SheetTableSinkTest, NameClashes) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
  std::shared_ptr<sqlite3> db(raw, sqlite3_close_v2);
  {
    LoadBudget budget;
    SheetTableSink sink(raw, budget);
    for (const char* name : {"A b", "a B", "'A b$'", "SQLite_master"}) {
      ASSERT_TRUE(sink.BeginSheet(name)) << sink.error();
      ASSERT_TRUE(sink.Cell(0, 0, "h")) << sink.error();
      ASSERT_TRUE(sink.Cell(1, 0, name)) << sink.error();
      ASSERT_TRUE(sink.EndSheet()) << sink.error();
    }
    ASSERT_TRUE(sink.Finish()) << sink.error();
    EXPECT_EQ(sink.tables(), (std::vector<std::string>{"A b$", "'A b$'$"}));
  }
  EXPECT_EQ(
      Query(raw, "SELECT type, name FROM sqlite_master ORDER BY rowid"),
      (Rows{{"table", "A b$"}, {"table", "'A b$'$"}, {"view", "'A b$'"}, {"view", "''A b$'$'"}}));
  EXPECT_EQ(Query(raw, "select h from ['A b$']"), (Rows{{"A b"}}));
}

// A sheet left unfinished, as when its reader fails, leaves no table behind.
TEST(SheetTableSinkTest, UnfinishedSheetIsRolledBack) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
  std::shared_ptr<sqlite3> db(raw, sqlite3_close_v2);
  {
    LoadBudget budget;
    SheetTableSink sink(raw, budget);
    ASSERT_TRUE(sink.BeginSheet("S"));
    ASSERT_TRUE(sink.Cell(1, 0, "x"));
  }
  EXPECT_EQ(Query(raw, "SELECT count(*) FROM sqlite_master"), (Rows{{"0"}}));
}

}  // namespace
}  // namespace parley
