// Workbooks crafted to cost far more to load than their size are refused by the load budget,
// whatever their format, with a reason naming the limit.
#include "excel/load_budget.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "excel/workbook_bomb.h"
#include "excel/workbook_loader.h"
#include "excel/workbook_writer.h"
#include "testing/engine_process.h"

namespace parley {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr std::string_view kOverLimit = "the workbook is over its load limit: more than ";

// The names of the tables of db, in the order they were made.
std::vector<std::string> Tables(sqlite3* db) {
  std::vector<std::string> names;
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid", -1,
                     &stmt, nullptr);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
  }
  sqlite3_finalize(stmt);
  return names;
}

TEST(LoadBudgetTest, FirstChargeOverALimitNamesIt) {
  LoadLimits limits;
  limits.stored_cells = 10;
  limits.stored_bytes = 2 * kMiB;
  LoadBudget budget(limits);
  EXPECT_TRUE(budget.ChargeStored(10, 2 * kMiB));
  EXPECT_TRUE(budget.CanStore(0, 0));
  EXPECT_FALSE(budget.exceeded());
  EXPECT_FALSE(budget.ChargeStored(0, 1));
  EXPECT_EQ(budget.reason(), std::string(kOverLimit) + "2 MiB of cells stored");
  // Later charges fail and keep the first reason.
  EXPECT_FALSE(budget.ChargeRead(1));
  EXPECT_FALSE(budget.ChargeSheet());
  EXPECT_EQ(budget.reason(), std::string(kOverLimit) + "2 MiB of cells stored");
}

class LoadBombTest : public ::testing::Test {
 protected:
  fs::path File(const std::string& name) const { return dir_.path() / name; }
  testing::TempDir dir_;
};

// Each shape of bomb, through LoadWorkbook: refused with the limit it reaches.
TEST_F(LoadBombTest, BombsAreRefusedNamingTheLimit) {
  struct Case {
    const char* what;
    std::string file;
    std::function<bool(const fs::path&, std::string*)> write;
    std::function<void(LoadLimits&)> limit;
    std::string reason;
  } cases[] = {
      {"rows and columns repeated of 32 KB cells", "rows.ods",
       [](const fs::path& p, std::string* e) {
         return WriteOdsRepeatBomb(p, 32768, 16384, 1000, e);
       },
       [](LoadLimits& l) { l.stored_bytes = kMiB; }, "1 MiB of cells stored"},
      {"repeat counts of 999,999,999, default limits", "counts.ods",
       [](const fs::path& p, std::string* e) {
         return WriteOdsRepeatBomb(p, 1, 999999999, 999999999, e);
       },
       [](LoadLimits&) {}, "33554432 cells stored"},
      {"one 16 MiB cell over 16,384 columns, default limits", "wide.ods",
       [](const fs::path& p, std::string* e) {
         return WriteOdsRepeatBomb(p, 16 * kMiB, 16384, 1048576, e);
       },
       [](LoadLimits&) {}, "33554432 cells stored"},
      {"cells of one 32 KB shared string", "strings.xlsx",
       [](const fs::path& p, std::string* e) {
         return WriteXlsxSharedStringBomb(p, 32768, 100000, e);
       },
       [](LoadLimits& l) { l.stored_bytes = kMiB; }, "1 MiB of cells stored"},
      {"shared strings over their bound", "sst.xlsx",
       [](const fs::path& p, std::string* e) { return WriteXlsxSharedStringBomb(p, kMiB, 1, e); },
       [](LoadLimits& l) { l.shared_string_bytes = 16384; }, "16384 bytes of shared strings"},
      {"a part inflating past the read bound", "inflate.xlsx",
       [](const fs::path& p, std::string* e) { return WriteXlsxSharedPartBomb(p, 1, 1000000, e); },
       [](LoadLimits& l) { l.read_bytes = kMiB; }, "1 MiB of workbook data read"},
      {"a start tag held whole", "tag.xlsx",
       [](const fs::path& p, std::string* e) { return WriteXlsxAttributeBomb(p, 8 * kMiB, e); },
       [](LoadLimits& l) { l.xml_parser_bytes = kMiB; },
       "1 MiB of memory for one XML part (xl/worksheets/sheet1.xml)"},
      {"a long CSV file", "long.csv",
       [](const fs::path& p, std::string*) {
         std::ofstream(p) << "phone\n" << std::string(2 * kMiB, '1') << "\n";
         return true;
       },
       [](LoadLimits& l) { l.read_bytes = kMiB; }, "1 MiB of workbook data read"},
      {"many sheets", "sheets.ods",
       [](const fs::path& p, std::string* e) {
         std::vector<SheetData> sheets;
         for (const char* name : {"A", "B", "C"}) sheets.push_back({name, {{WorkbookValue("x")}}});
         return WriteOds(p, sheets, e);
       },
       [](LoadLimits& l) { l.sheets = 2; }, "2 sheets"},
      {"an .xls read past the read bound", "book.xls",
       [](const fs::path& p, std::string*) {
         fs::copy_file(fs::path(PARLEY_EXCEL_TESTDATA) / "book.xls", p);
         return true;
       },
       [](LoadLimits& l) { l.read_bytes = 64; }, "64 bytes of workbook data read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    ASSERT_TRUE(c.write(File(c.file), &error)) << error;
    if (File(c.file).extension() != ".csv") {
      EXPECT_LT(fs::file_size(File(c.file)), 64 * 1024u) << "the bomb itself is small";
    }
    LoadLimits limits;
    c.limit(limits);
    error.clear();
    EXPECT_EQ(LoadWorkbook(File(c.file), limits, &error), nullptr);
    EXPECT_EQ(error, std::string(kOverLimit) + c.reason);
  }
}

// Sheets pointing at one worksheet part: the part is read for the first of them only, the others
// are left out, so two hundred sheets cost what one does.
TEST_F(LoadBombTest, APartIsReadForOneSheetOnly) {
  std::string error;
  ASSERT_TRUE(WriteXlsxSharedPartBomb(File("shared.xlsx"), 200, 20000, &error)) << error;
  LoadLimits limits;
  limits.read_bytes = kMiB;  // the part inflates to about 300 KB
  std::shared_ptr<sqlite3> db = LoadWorkbook(File("shared.xlsx"), limits, &error);
  ASSERT_NE(db, nullptr) << error;
  EXPECT_EQ(Tables(db.get()), std::vector<std::string>{"S1$"});
}

// Within the budget, the bomb shapes' cut values load as the cut of a normal cell does.
TEST_F(LoadBombTest, ACutCellLoadsWithinTheBudget) {
  std::string error;
  ASSERT_TRUE(WriteOdsRepeatBomb(File("wide.ods"), 16 * kMiB, 16384, 2, &error)) << error;
  std::shared_ptr<sqlite3> db = LoadWorkbook(File("wide.ods"), &error);
  ASSERT_NE(db, nullptr) << error;
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.get(), "SELECT * FROM [S$]", -1, &stmt, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_count(stmt), 256);
  EXPECT_EQ(sqlite3_column_bytes(stmt, 255), 32768);
  sqlite3_finalize(stmt);
}

}  // namespace
}  // namespace parley
