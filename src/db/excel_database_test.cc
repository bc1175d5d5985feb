#include "db/excel_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <functional>
#include <memory>
#include <regex>

#include "db/db_exception.h"
#include "db/recordset.h"
#include "db/test_util.h"
#include "testing/engine_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

using testing::RawQuery;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;
using namespace std::string_literals;
using Names = std::vector<std::string>;
using Rows = std::vector<std::vector<std::string>>;

class ExcelDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(db_.OpenMDB(path_, /*create=*/true)) << db_.last_error(); }

  // Reads every row of sql through a recordset.
  Rows Read(const std::string& sql, const SqlParams& params = {}) {
    CRecordset rs(db_);
    rs.Open(sql, params);
    Rows rows;
    while (!rs.IsEOF()) {
      std::vector<std::string> row;
      for (int i = 0; i < rs.GetODBCFieldCount(); ++i) row.push_back(rs.GetFieldValue(i));
      rows.push_back(row);
      rs.MoveNext();
    }
    rs.Close();
    return rows;
  }

  TempDir dir_;
  std::filesystem::path path_ = dir_.path() / "book.db";
  CExcelDatabase db_;
};

TEST(ExcelDatabaseOpenTest, MissingFileIsCreatedOnlyWhenAsked) {
  TempDir dir;
  std::filesystem::path path = dir.path() / "new.db";
  CExcelDatabase db;
  EXPECT_FALSE(db.OpenMDB(path));
  EXPECT_FALSE(db.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(db.OpenMDB(path, /*create=*/true)) << db.last_error();
  EXPECT_TRUE(db.CreateTable("T", "A TEXT"));
  db.Close();
  EXPECT_TRUE(db.OpenMDB(path));
  EXPECT_EQ(db.table_names(), Names{"T"});
}

// A file that is not an SQLite database is refused before SQLite reads it, and stays as it was,
// byte for byte, with no journal left beside it.
TEST(ExcelDatabaseOpenTest, ForeignFileIsRefusedAndLeftUntouched) {
  std::string access(2048, '\0');
  access.replace(4, 15, "Standard Jet DB");
  const struct {
    const char* name;
    std::string bytes;
    const char* error;
  } cases[] = {
      {"access", access, "is an Access database"},
      {"text", "hello, this is not a database\n", "is not an SQLite database"},
      {"short", "SQLite", "is not an SQLite database"},
      {"binary", std::string(4096, '\xff'), "is not an SQLite database"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::filesystem::path path = dir.path() / "QXBOOK.mdb";
    WriteFileBytes(path, c.bytes);
    CExcelDatabase db;
    EXPECT_FALSE(db.OpenMDB(path, /*create=*/true));
    EXPECT_FALSE(db.IsOpen());
    EXPECT_NE(db.last_error().find(c.error), std::string::npos) << db.last_error();
    EXPECT_FALSE(db.ExecuteWithParam("CREATE TABLE T (A)"));
    EXPECT_EQ(ReadFileBytes(path), c.bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  }
}

TEST(ExcelDatabaseOpenTest, EmptyFileBecomesADatabase) {
  TempDir dir;
  std::filesystem::path path = dir.path() / "empty.db";
  WriteFileBytes(path, "");
  CExcelDatabase db;
  ASSERT_TRUE(db.OpenMDB(path)) << db.last_error();
  EXPECT_TRUE(db.CreateTable("T", "A TEXT"));
  EXPECT_EQ(RawQuery(path, "SELECT name FROM sqlite_master"), Rows{{"T"}});
}

// Tables are listed in the order they were made, views and SQLite's own tables left out.
// Listing twice into one list without emptying it lists each table twice.
TEST_F(ExcelDatabaseTest, TablesInCatalogueOrder) {
  for (const char* name : {"Sheet2$", "Sheet1$", "A"}) {
    ASSERT_TRUE(db_.CreateTable(name, "ID INTEGER PRIMARY KEY AUTOINCREMENT, X TEXT"));
  }
  ASSERT_TRUE(db_.ExecuteWithParam("CREATE VIEW V AS SELECT * FROM A"));
  ASSERT_TRUE(db_.InsertRow("A", "X", "'x'"));  // fills sqlite_sequence
  EXPECT_TRUE(db_.table_names().empty());       // as the open found them
  ASSERT_TRUE(db_.RefreshTables());
  EXPECT_EQ(db_.table_names(), (Names{"Sheet2$", "Sheet1$", "A"}));

  Names twice;
  ASSERT_TRUE(db_.GetTables(&twice));
  ASSERT_TRUE(db_.GetTables(&twice));
  EXPECT_EQ(twice, (Names{"Sheet2$", "Sheet1$", "A", "Sheet2$", "Sheet1$", "A"}));

  db_.Close();
  ASSERT_TRUE(db_.OpenMDB(path_));
  EXPECT_EQ(db_.table_names(), (Names{"Sheet2$", "Sheet1$", "A"}));
}

TEST_F(ExcelDatabaseTest, FieldsAtMostEight) {
  ASSERT_TRUE(db_.CreateTable("Wide", "C1, C2, C3, C4, C5, C6, C7, C8, C9, C10, C11, C12"));
  ASSERT_TRUE(db_.CreateTable("Narrow", "name TEXT, phone TEXT"));
  Names fields{"kept"};
  ASSERT_TRUE(db_.GetFields("Wide", &fields));
  EXPECT_EQ(fields, (Names{"kept", "C1", "C2", "C3", "C4", "C5", "C6", "C7", "C8"}));

  fields.clear();
  ASSERT_TRUE(db_.GetFields("Narrow", &fields));
  EXPECT_EQ(fields, (Names{"name", "phone"}));

  fields = {"kept"};
  EXPECT_FALSE(db_.GetFields("Missing", &fields));
  EXPECT_FALSE(db_.GetFields("Narrow\" ; DROP TABLE Narrow; --", &fields));
  EXPECT_EQ(fields, Names{"kept"});
  EXPECT_TRUE(db_.GetFields("Narrow", &fields));
}

// Write operations swallow their errors: the result is false and last_error says why.
TEST_F(ExcelDatabaseTest, WriteErrorsGiveFalse) {
  ASSERT_TRUE(db_.CreateTable("T", "ID INTEGER, X TEXT"));
  ASSERT_TRUE(db_.InsertRow("T", "ID, X", "1, 'one'"));
  const struct {
    const char* name;
    std::function<bool()> write;
    const char* error;
  } cases[] = {
      {"existing table", [&] { return db_.CreateTable("T", "A"); }, "already exists"},
      {"bad column list", [&] { return db_.CreateTable("U", "A B C ("); }, "syntax error"},
      {"no such table", [&] { return db_.InsertRow("Nope", "X", "'x'"); }, "no such table"},
      {"second statement", [&] { return db_.ExecuteWithParam("DELETE FROM T; DROP TABLE T"); },
       "more than one statement"},
      {"NUL byte", [&] { return db_.ExecuteWithParam("DELETE FROM T\0; DROP TABLE T"s); }, "NUL"},
      {"too many values", [&] { return db_.ExecuteWithParam("DELETE FROM T", {1}); }, "markers"},
      {"too few values", [&] { return db_.ExecuteWithParam("DELETE FROM T WHERE ID = ?"); },
       "markers"},
      {"empty text", [&] { return db_.ExecuteWithParam("  -- nothing\n"); }, "no statement"},
      {"no USER_TB", [&] { return db_.DeleteAllUsers(); }, "no such table"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.write());
    EXPECT_NE(db_.last_error().find(c.error), std::string::npos) << db_.last_error();
  }
  EXPECT_EQ(Read("SELECT ID, X FROM T"), (Rows{{"1", "one"}}));
}

TEST_F(ExcelDatabaseTest, ParametersAndDeletes) {
  for (const char* table : {"USER_TB", "ADDRESS_TB", "GROUPADDR_TB"}) {
    ASSERT_TRUE(db_.CreateTable(table, "A, B"));
    ASSERT_TRUE(db_.InsertRow(table, "A, B", "?, ?", {int64_t{7}, "it's"}));
    ASSERT_TRUE(db_.InsertRow(table, "A, B", "?, ?", {SqlParam{}, "x'); DROP TABLE T; --"}));
  }
  EXPECT_EQ(Read("SELECT A, B FROM ADDRESS_TB"),
            (Rows{{"7", "it's"}, {"", "x'); DROP TABLE T; --"}}));
  EXPECT_EQ(Read("SELECT B FROM USER_TB WHERE A = ?", {int64_t{7}}), Rows{{"it's"}});
  EXPECT_EQ(Read("SELECT count(*) FROM USER_TB WHERE A IS NULL"), Rows{{"1"}});

  EXPECT_TRUE(db_.DeleteAllUsers());
  EXPECT_TRUE(db_.DeleteAllAddresses());
  EXPECT_EQ(Read("SELECT count(*) FROM USER_TB"), Rows{{"0"}});
  EXPECT_EQ(Read("SELECT count(*) FROM ADDRESS_TB"), Rows{{"0"}});
  EXPECT_EQ(Read("SELECT count(*) FROM GROUPADDR_TB"), Rows{{"2"}});
  EXPECT_TRUE(db_.DeleteAllGroups());
  EXPECT_EQ(Read("SELECT count(*) FROM GROUPADDR_TB"), Rows{{"0"}});
}

// Names are quoted, never spliced: whatever a name holds, it names exactly one table.
TEST_F(ExcelDatabaseTest, QuotedNames) {
  const struct {
    std::string name;
    std::string quoted;
  } cases[] = {
      {"USER_kim", "\"USER_kim\""},
      {"USER_a\"b", "\"USER_a\"\"b\""},
      {"USER_x]; DROP TABLE T; --", "\"USER_x]; DROP TABLE T; --\""},
      {"USER_o'neil", "\"USER_o'neil\""},
      {"Phone list$", "\"Phone list$\""},
      {Utf8ToAnsi("USER_김철수"), "\"" + Utf8ToAnsi("USER_김철수") + "\""},
  };
  ASSERT_TRUE(db_.CreateTable("T", "A"));
  Names expected{"T"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QuoteIdentifier(c.name), c.quoted);
    EXPECT_TRUE(db_.CreateTable(c.name, "A TEXT")) << db_.last_error();
    EXPECT_TRUE(db_.InsertRow(c.name, "A", "?", {c.name}));
    EXPECT_EQ(Read("SELECT A FROM " + QuoteIdentifier(c.name)), Rows{{c.name}});
    expected.push_back(c.name);
  }
  ASSERT_TRUE(db_.RefreshTables());
  EXPECT_EQ(db_.table_names(), expected);
}

// Engine text is CP949 and the file holds UTF-8: statements, bound values, names and results
// are converted both ways.
TEST_F(ExcelDatabaseTest, KoreanTextRoundTrip) {
  std::string name = Utf8ToAnsi("홍길동");
  std::string group = Utf8ToAnsi("가족");
  ASSERT_TRUE(db_.CreateTable(Utf8ToAnsi("주소록"), Utf8ToAnsi("이름 TEXT, 그룹 TEXT")));
  ASSERT_TRUE(
      db_.InsertRow(Utf8ToAnsi("주소록"), Utf8ToAnsi("이름, 그룹"), "?, '" + group + "'", {name}));
  EXPECT_EQ(Read(Utf8ToAnsi("SELECT 이름, 그룹 FROM 주소록 WHERE 그룹 = '가족'")),
            (Rows{{name, group}}));
  Names fields;
  ASSERT_TRUE(db_.GetFields(Utf8ToAnsi("주소록"), &fields));
  EXPECT_EQ(fields, (Names{Utf8ToAnsi("이름"), Utf8ToAnsi("그룹")}));
  ASSERT_TRUE(db_.RefreshTables());
  EXPECT_EQ(db_.table_names(), Names{Utf8ToAnsi("주소록")});
  EXPECT_EQ(RawQuery(path_, "SELECT * FROM 주소록"), (Rows{{"홍길동", "가족"}}));
}

TEST_F(ExcelDatabaseTest, RecordsetReadingPattern) {
  ASSERT_TRUE(db_.CreateTable("T", "ID INTEGER, N REAL, X TEXT"));
  ASSERT_TRUE(db_.InsertRow("T", "ID, N, X", "1, 1012345678.0, 'a'"));
  ASSERT_TRUE(db_.InsertRow("T", "ID, N, X", "2, NULL, ''"));
  CRecordset rs(db_);
  rs.Open("SELECT ID, N, X FROM T ORDER BY ID");
  EXPECT_EQ(rs.GetODBCFieldCount(), 3);
  ASSERT_FALSE(rs.IsEOF());
  EXPECT_EQ(rs.GetFieldValue(0), "1");
  EXPECT_EQ(rs.GetFieldValue(1), "1012345678.0");
  EXPECT_EQ(rs.GetFieldValue(2), "a");
  EXPECT_THROW(rs.GetFieldValue(3), CDBException);
  EXPECT_THROW(rs.GetFieldValue(-1), CDBException);
  rs.MoveNext();
  ASSERT_FALSE(rs.IsEOF());
  EXPECT_EQ(rs.GetFieldValue(1), "");
  rs.MoveNext();
  EXPECT_TRUE(rs.IsEOF());
  EXPECT_THROW(rs.GetFieldValue(0), CDBException);
  rs.MoveNext();  // at the end: nothing happens
  EXPECT_TRUE(rs.IsEOF());

  rs.Open("SELECT X FROM T WHERE ID = 99");  // reopening closes the first result
  EXPECT_TRUE(rs.IsEOF());
  rs.Close();
  rs.Close();
}

// Read errors reach the caller as CDBException carrying the driver's message.
TEST_F(ExcelDatabaseTest, ReadErrorsThrow) {
  const struct {
    const char* sql;
    SqlParams params;
    const char* message;
  } cases[] = {
      {"select * from [Sheet9$]", {}, "no such table: Sheet9$"},
      {"SELECT FROM", {}, "syntax error"},
      {"SELECT 1; SELECT 2", {}, "more than one statement"},
      {"SELECT ?", {}, "markers"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    CRecordset rs(db_);
    try {
      rs.Open(c.sql, c.params);
      ADD_FAILURE() << "no exception";
    } catch (const CDBException& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
    EXPECT_TRUE(rs.IsEOF());
  }
  CExcelDatabase closed;
  CRecordset rs(closed);
  EXPECT_THROW(rs.Open("SELECT 1"), CDBException);
}

TEST_F(ExcelDatabaseTest, NowAndTransactions) {
  ASSERT_TRUE(db_.CreateTable("USER_TB", "ID INTEGER, LOGID TEXT, LOGDATE TEXT"));
  ASSERT_TRUE(db_.InsertRow("USER_TB", "ID, LOGID, LOGDATE", "1,'kim',Now()"));
  Rows rows = Read("SELECT LOGDATE FROM USER_TB");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_TRUE(std::regex_match(rows[0][0], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")))
      << rows[0][0];

  ASSERT_TRUE(db_.BeginTrans());
  ASSERT_TRUE(db_.DeleteAllUsers());
  ASSERT_TRUE(db_.Rollback());
  EXPECT_EQ(Read("SELECT LOGID FROM USER_TB"), Rows{{"kim"}});
  ASSERT_TRUE(db_.BeginTrans());
  ASSERT_TRUE(db_.DeleteAllUsers());
  ASSERT_TRUE(db_.CommitTrans());
  EXPECT_TRUE(Read("SELECT LOGID FROM USER_TB").empty());
}

// The Excel reader fills an in-memory database, or hands over a connection it filled.
TEST(ExcelDatabaseMemoryTest, OpenMemoryAndAdopt) {
  CExcelDatabase db;
  ASSERT_TRUE(db.OpenMemory());
  ASSERT_EQ(sqlite3_exec(db.handle(), "CREATE TABLE \"Sheet1$\" (name, phone)", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  EXPECT_TRUE(db.table_names().empty());
  ASSERT_TRUE(db.RefreshTables());
  EXPECT_EQ(db.table_names(), Names{"Sheet1$"});

  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw,
                         "CREATE TABLE \"B$\" (x); CREATE TABLE \"A$\" (y);"
                         "INSERT INTO \"A$\" VALUES ('1')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  ASSERT_TRUE(db.Adopt(raw));
  EXPECT_EQ(db.table_names(), (Names{"B$", "A$"}));
  CRecordset rs(db);
  rs.Open("select count(*), Now() IS NOT NULL from [A$] ");
  EXPECT_EQ(rs.GetFieldValue(0), "1");
  EXPECT_EQ(rs.GetFieldValue(1), "1");
}

TEST(ExcelDatabaseMemoryTest, SharedConnectionAdoptedWhileAQueryRuns) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
  std::shared_ptr<sqlite3> shared(raw, sqlite3_close_v2);
  ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE \"A$\" (x); INSERT INTO \"A$\" VALUES ('1'), ('2')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  CExcelDatabase sending;
  ASSERT_TRUE(sending.AdoptShared(shared)) << sending.last_error();
  CRecordset rows(sending);
  rows.Open("SELECT x, Now() IS NOT NULL FROM \"A$\"");  // stays active, as a send's query does

  // A second command on the same connection meanwhile: its functions are there already.
  CExcelDatabase listing;
  ASSERT_TRUE(listing.AdoptShared(shared)) << listing.last_error();
  CRecordset count(listing);
  count.Open("SELECT count(*), Now() IS NOT NULL FROM \"A$\"");
  EXPECT_EQ(count.GetFieldValue(0), "2");
  EXPECT_EQ(count.GetFieldValue(1), "1");

  EXPECT_EQ(rows.GetFieldValue(0), "1");
  rows.MoveNext();
  EXPECT_EQ(rows.GetFieldValue(0), "2");
}

TEST(QueryBudgetTest, StopsARunawayQueryAndTheConnectionGoesOn) {
  using std::chrono::milliseconds;
  constexpr char kRunaway[] =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT count(*) FROM n";
  struct Case {
    QueryBudget budget;
    std::string reason;
  } cases[] = {
      {{milliseconds(0), 1'000'000},
       "query stopped: it reached the limit of 1000000 instructions for one query"},
      {{milliseconds(20), 0}, "query stopped: it reached the limit of 20 ms for one query"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    CExcelDatabase db;
    ASSERT_TRUE(db.OpenMemory());
    db.set_query_budget(c.budget);
    CRecordset rs(db);
    try {
      rs.Open(kRunaway);
      ADD_FAILURE() << "the query ran to its end";
    } catch (const CDBException& e) {
      EXPECT_EQ(e.code(), SQLITE_INTERRUPT);
      EXPECT_EQ(std::string(e.what()), c.reason);
    }
    EXPECT_FALSE(db.ExecuteWithParam(kRunaway));
    EXPECT_EQ(db.last_error(), c.reason);
    // Ordinary queries still run, within the budget and after it is lifted.
    rs.Open("SELECT 41 + 1");
    EXPECT_EQ(rs.GetFieldValue(0), "42");
    db.set_query_budget({});
    rs.Open(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000000) "
        "SELECT count(*) FROM n");
    EXPECT_EQ(rs.GetFieldValue(0), "2000000");
  }
}

}  // namespace
}  // namespace parley
