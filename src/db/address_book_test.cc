#include "db/address_book.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "db/db_exception.h"
#include "db/recent_table.h"
#include "db/test_util.h"
#include "testing/engine_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

using testing::RawQuery;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;
using Rows = std::vector<std::vector<std::string>>;
using Names = std::vector<std::string>;

// CP949 text from a UTF-8 literal.
std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

class AddressBookTest : public ::testing::Test {
 protected:
  // Rows of the file as stored (UTF-8), read past the address book.
  Rows Raw(const std::string& sql) { return RawQuery(path_, sql); }

  Names TableNames() {
    Names names;
    for (const auto& row : Raw("SELECT name FROM sqlite_master WHERE type = 'table'")) {
      names.push_back(row[0]);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // Groups and addresses as a tool outside the engine writes them.
  void AddGroups() {
    ASSERT_TRUE(book_.OpenAddressBook());
    CExcelDatabase& db = book_.database();
    const char* kGroup = "GPNAME, LEV, ADDRNUM, ORGSEQ";
    ASSERT_TRUE(db.InsertRow("GROUPADDR_TB", kGroup, "?, 1, 2, 10", {A("가족")}));
    ASSERT_TRUE(db.InsertRow("GROUPADDR_TB", kGroup, "?, 2, 1, 11", {"Friends"}));
    ASSERT_TRUE(db.InsertRow("GROUPADDR_TB", kGroup, "?, 1, 0, 12", {"O'Brien's"}));
    const char* kAddress = "ADDRNAME, ADDRPHONE, GPSEQ";
    ASSERT_TRUE(db.InsertRow("ADDRESS_TB", kAddress, "?, '01011112222', 10", {A("홍길동")}));
    ASSERT_TRUE(db.InsertRow("ADDRESS_TB", kAddress, "'Kim', '01033334444', 10"));
    ASSERT_TRUE(db.InsertRow("ADDRESS_TB", kAddress, "'Lee', '01055556666', 11"));
  }

  TempDir dir_;
  std::filesystem::path path_ = dir_.path() / AddressBook::kFileName;
  AddressBook book_{path_};
};

TEST_F(AddressBookTest, MissingFileIsCreatedWithItsTables) {
  ASSERT_FALSE(std::filesystem::exists(path_));
  EXPECT_TRUE(book_.OpenAddressBook());
  EXPECT_TRUE(book_.OpenAddressBook());
  EXPECT_EQ(TableNames(), (Names{"ADDRESS_TB", "GROUPADDR_TB", "USER_TB"}));
  const struct {
    const char* table;
    Names columns;
  } cases[] = {
      {"USER_TB", {"ID", "LOGID", "LOGDATE"}},
      {"GROUPADDR_TB", {"GPNAME", "LEV", "ADDRNUM", "ORGSEQ"}},
      {"ADDRESS_TB", {"ADDRNAME", "ADDRPHONE", "GPSEQ"}},
  };
  for (const auto& c : cases) {
    Names columns;
    EXPECT_TRUE(book_.database().GetFields(c.table, &columns));
    EXPECT_EQ(columns, c.columns) << c.table;
  }
  // An empty book answers every read with its empty form.
  EXPECT_EQ(book_.SaveIDLoad(), "");
  EXPECT_EQ(protocol::GroupListReply(book_.Groups()), "2<QX><QX>");
  EXPECT_EQ(protocol::AddressListReply(book_.Addresses("10")), "3<QX>");
  EXPECT_EQ(book_.FindGroupSeq("x"), "");
  EXPECT_EQ(book_.LoadRecentNumbers("kim"), "");
}

TEST_F(AddressBookTest, SQLiteFileGetsMissingTablesAndKeepsItsRows) {
  {
    CExcelDatabase db;
    ASSERT_TRUE(db.OpenMDB(path_, /*create=*/true));
    ASSERT_TRUE(db.CreateTable("ADDRESS_TB", "ADDRNAME TEXT, ADDRPHONE TEXT, GPSEQ INTEGER"));
    ASSERT_TRUE(db.InsertRow("ADDRESS_TB", "ADDRNAME, ADDRPHONE, GPSEQ", "'Kim', '010', 1"));
  }
  EXPECT_TRUE(book_.OpenAddressBook());
  EXPECT_EQ(TableNames(), (Names{"ADDRESS_TB", "GROUPADDR_TB", "USER_TB"}));
  EXPECT_EQ(protocol::AddressListReply(book_.Addresses("1")), "3<QX><ADDR>Kim 010");
}

// The saved id round trip; the book opens itself on first use.
TEST_F(AddressBookTest, SavedId) {
  book_.SaveID("kim");
  EXPECT_EQ(book_.SaveIDLoad(), "kim");
  book_.SaveID("lee");
  EXPECT_EQ(book_.SaveIDLoad(), "lee");
  EXPECT_EQ(Raw("SELECT ID, LOGID FROM USER_TB"), (Rows{{"1", "lee"}}));
  book_.SaveID_Reset();
  EXPECT_EQ(book_.SaveIDLoad(), "NULL");
  EXPECT_EQ(Raw("SELECT ID, LOGID FROM USER_TB"), (Rows{{"<NULL>", "NULL"}}));
  book_.SaveID("park");
  AddressBook restarted(path_);
  EXPECT_EQ(restarted.SaveIDLoad(), "park");
}

TEST_F(AddressBookTest, OneTablePerLoginId) {
  book_.EnsureUserTable("kim");
  book_.EnsureUserTable("kim");
  EXPECT_EQ(TableNames(), (Names{"ADDRESS_TB", "GROUPADDR_TB", "USER_TB", "USER_kim"}));
  Rows empty_rows = {{"1", "", "", ""},
                     {"2", "", "", ""},
                     {"3", "", "", ""},
                     {"4", "", "", ""},
                     {"5", "", "", ""}};
  EXPECT_EQ(Raw("SELECT ID, RECVPHONE, SENDPHONE, MSG FROM USER_kim"), empty_rows);

  book_.EnsureUserTable("lee");
  // SQLite's names ignore ASCII case: "KIM" shares kim's table and adds no rows to it.
  book_.EnsureUserTable("KIM");
  EXPECT_EQ(TableNames(), (Names{"ADDRESS_TB", "GROUPADDR_TB", "USER_TB", "USER_kim", "USER_lee"}));
  EXPECT_EQ(Raw("SELECT count(*) FROM USER_kim"), Rows{{"5"}});
  EXPECT_EQ(Raw("SELECT count(*) FROM USER_lee"), Rows{{"5"}});
}

TEST_F(AddressBookTest, RecentNumbersRoundTrip) {
  book_.EnsureUserTable("kim");
  book_.SaveRecentNumbers(2, "kim", "01011112222,01033334444,");
  EXPECT_EQ(Raw("SELECT ID, RECVPHONE FROM USER_kim"),
            (Rows{{"1", "01033334444"}, {"2", "01011112222"}, {"3", ""}, {"4", ""}, {"5", ""}}));
  EXPECT_EQ(book_.LoadRecentNumbers("kim"), "01033334444,01011112222,");

  // Row 3 empty ends the load, whatever rows 4 and 5 hold.
  Raw("UPDATE USER_kim SET RECVPHONE = '01099998888' WHERE ID = 4");
  EXPECT_EQ(book_.LoadRecentNumbers("kim"), "01033334444,01011112222,");

  // A count past the numbers given changes only the rows that get a number; rows past the count
  // keep what they held.
  book_.SaveRecentNumbers(3, "kim", "01077778888,");
  const char* kLoaded = "01033334444,01011112222,01077778888,01099998888,";
  EXPECT_EQ(book_.LoadRecentNumbers("kim"), kLoaded);
  book_.SaveRecentNumbers(0, "kim", "01000000000,");
  book_.SaveRecentNumbers(5, "kim", "");
  AddressBook restarted(path_);
  EXPECT_EQ(restarted.LoadRecentNumbers("kim"), kLoaded);
  EXPECT_EQ(restarted.LoadRecentNumbers("nobody"), "");
}

// What a stored row loads as: older files hold numbers without their leading "0".
TEST_F(AddressBookTest, StoredNumbersLoad) {
  const struct {
    const char* stored;  // SQL literal written into row 1
    const char* loaded;
  } cases[] = {
      {"1012345678", "01012345678,"},     // numeric value, as older files stored it
      {"'1012345678'", "01012345678,"},   // its text form
      {"'01012345678'", "01012345678,"},  // as stored now
      {"'0212345678'", "0212345678,"},    // a line number keeps its one "0"
      {"'212345678'", "0212345678,"},     // a Seoul number, stored as a number
      {"21234567", "021234567,"},         // the short Seoul form
      {"'15881234'", "15881234,"},        // a nationwide number as stored now
      {"'1588-1234'", "1588-1234,"},
      {"'+821012345678'", "+821012345678,"},
      {"'010-1234-5678'", "010-1234-5678,"},
      {"NULL", ""},
  };
  book_.EnsureUserTable("kim");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    Raw(std::string("UPDATE USER_kim SET RECVPHONE = ") + c.stored + " WHERE ID = 1");
    EXPECT_EQ(book_.LoadRecentNumbers("kim"), c.loaded);
  }
  // Numbers are stored as given: hyphens are not arithmetic, a leading "0" stays.
  book_.SaveRecentNumbers(2, "kim", "010-1234-5678,01012345678,");
  EXPECT_EQ(Raw("SELECT RECVPHONE, typeof(RECVPHONE) FROM USER_kim WHERE ID <= 2 ORDER BY ID"),
            (Rows{{"01012345678", "text"}, {"010-1234-5678", "text"}}));
}

TEST_F(AddressBookTest, GroupsAndAddresses) {
  AddGroups();
  EXPECT_EQ(protocol::GroupListReply(book_.Groups()),
            A("2<QX><GROUP>가족::2::1::10<GROUP>Friends::1::2::11<GROUP>O'Brien's::0::1::12<QX>"));

  const struct {
    const char* key;
    std::string list;
  } addresses[] = {
      {"10", A("3<QX><ADDR>홍길동 01011112222<ADDR>Kim 01033334444")},
      {"11", "3<QX><ADDR>Lee 01055556666"},
      {" 11 ", "3<QX><ADDR>Lee 01055556666"},
      {"12", "3<QX>"},  // a group without addresses
      {"99", "3<QX>"},
      {"abc", "3<QX>"},
      {"10 OR 1=1", "3<QX>"},
      {"10; DELETE FROM ADDRESS_TB", "3<QX>"},
      {"", "3<QX>"},  // no key
  };
  for (const auto& c : addresses) {
    EXPECT_EQ(protocol::AddressListReply(book_.Addresses(c.key)), c.list) << c.key;
  }

  EXPECT_EQ(book_.GroupMembers("10"), (Names{"01011112222", "01033334444"}));
  EXPECT_EQ(book_.GroupMembers("12"), Names{});
  EXPECT_EQ(book_.GroupMembers("10 OR 1=1"), Names{});
  EXPECT_EQ(Raw("SELECT count(*) FROM ADDRESS_TB"), Rows{{"3"}});
}

// A group name names exactly one group: wildcards are plain characters, and letter case is
// ignored only when that leaves a single group.
TEST_F(AddressBookTest, GroupNamesMatchExactly) {
  AddGroups();
  CExcelDatabase& db = book_.database();
  const char* kGroup = "GPNAME, ORGSEQ";
  // Stored before the groups whose names would match them as LIKE patterns.
  for (const auto& [name, seq] : std::initializer_list<std::pair<const char*, int64_t>>{
           {"AxB", 20}, {"A_B", 21}, {"Team", 22}, {"team", 23}, {"50%", 24}, {"Ab", 25}}) {
    ASSERT_TRUE(db.InsertRow("GROUPADDR_TB", kGroup, "?, ?", {std::string(name), seq}));
  }
  const struct {
    std::string name;
    const char* seq;
  } cases[] = {
      {A("가족"), "10"},
      {"Friends", "11"},
      {"friends", "11"},  // one group in any letter case
      {"FRIENDS", "11"},
      {"A_B", "21"},  // not AxB
      {"a_b", "21"},
      {"axb", "20"},
      {"Team", "22"},  // the exact name wins over another
                       // case
      {"team", "23"},
      {"TEAM", ""},  // two groups differ from it in case only
      {"tEaM", ""},
      {"50%", "24"},
      {"50", ""},
      {"%", ""},
      {"_", ""},
      {"A%", ""},
      {"Fri%", ""},
      {"F_iends", ""},
      {"Friends ", ""},
      {"O'Brien's", "12"},
      {"x' OR '1'='1", ""},
      {"Nobody", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(book_.FindGroupSeq(c.name), c.seq) << c.name;
}

// Login ids with SQL punctuation or Korean letters name their own table and nothing else.
TEST_F(AddressBookTest, UnusualLoginIds) {
  AddGroups();
  const std::string ids[] = {
      "o'neil",
      "kim]",
      "a;b",
      "x]; DROP TABLE USER_TB; --",
      "q\"; DROP TABLE ADDRESS_TB; --",
      "' OR '1'='1",
      A("김철수"),
  };
  for (const std::string& id : ids) {
    SCOPED_TRACE(id);
    book_.EnsureUserTable(id);
    book_.SaveRecentNumbers(2, id, "01011112222,01033334444,");
    EXPECT_EQ(book_.LoadRecentNumbers(id), "01033334444,01011112222,");
    book_.SaveID(id);
    EXPECT_EQ(book_.SaveIDLoad(), id);
  }
  Names expected = {"ADDRESS_TB", "GROUPADDR_TB", "USER_TB"};
  for (const std::string& id : ids) expected.push_back("USER_" + AnsiToUtf8(id));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(TableNames(), expected);
  for (const std::string& id : ids) {
    std::string table = QuoteIdentifier("USER_" + AnsiToUtf8(id));
    EXPECT_EQ(Raw("SELECT count(*) FROM " + table), Rows{{"5"}}) << id;
  }
  EXPECT_EQ(Raw("SELECT count(*) FROM USER_TB"), Rows{{"1"}});
  EXPECT_EQ(Raw("SELECT count(*) FROM ADDRESS_TB"), Rows{{"3"}});
  EXPECT_EQ(Raw("SELECT count(*) FROM GROUPADDR_TB"), Rows{{"3"}});
}

// An id whose own table name would be one of the book's tables, or no table name at all, keeps
// its numbers in RECENT_TB; every other id keeps a table of its own. The book's tables never
// change.
TEST_F(AddressBookTest, LoginIdsThatWouldNameABookTable) {
  const struct {
    std::string id;
    const char* table;
  } cases[] = {
      {"TB", "RECENT_TB"},
      {"tb", "RECENT_TB"},  // shares the rows of "TB", as case-different ids share a table
      {"Tb", "RECENT_TB"},
      {std::string("k\0m", 3), "RECENT_TB"},
      {"TB ", "USER_TB "},
      {"_TB", "USER__TB"},
      {"X_TB", "USER_X_TB"},
      {"GROUPADDR", "USER_GROUPADDR"},
      {"RECENT", "USER_RECENT"},
  };
  book_.SaveID("kim");
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    EXPECT_EQ(RecentTableOf(c.id).name, c.table);
    const std::string first = "0101111000" + std::to_string(n);
    const std::string second = "0102222000" + std::to_string(n++);
    book_.EnsureUserTable(c.id);
    book_.SaveRecentNumbers(2, c.id, first + "," + second + ",");
    EXPECT_EQ(book_.LoadRecentNumbers(c.id), second + "," + first + ",");
  }
  EXPECT_EQ(book_.LoadRecentNumbers("TB"), "01022220002,01011110002,");
  EXPECT_EQ(book_.LoadRecentNumbers("TBX"), "");
  EXPECT_EQ(Raw("SELECT ID, LOGID FROM USER_TB"), (Rows{{"1", "kim"}}));
  EXPECT_EQ(book_.SaveIDLoad(), "kim");
  // Five rows for "TB" in all its letter cases, five for the id with the NUL byte.
  EXPECT_EQ(Raw("SELECT count(*) FROM RECENT_TB WHERE LOGID = 'TB'"), Rows{{"5"}});
  EXPECT_EQ(Raw("SELECT count(*) FROM RECENT_TB"), Rows{{"10"}});
  EXPECT_EQ(TableNames(), (Names{"ADDRESS_TB", "GROUPADDR_TB", "RECENT_TB", "USER_GROUPADDR",
                                 "USER_RECENT", "USER_TB", "USER_TB ", "USER_X_TB", "USER__TB"}));
  AddressBook restarted(path_);
  EXPECT_EQ(restarted.LoadRecentNumbers("tb"), "01022220002,01011110002,");
  EXPECT_EQ(restarted.LoadRecentNumbers(std::string("k\0m", 3)), "01022220003,01011110003,");
  EXPECT_EQ(restarted.LoadRecentNumbers("k"), "");
}

// Whatever way the engine ends, the groups and addresses stay.
TEST_F(AddressBookTest, ClosingKeepsGroupsAndAddresses) {
  {
    AddressBook book(path_);
    ASSERT_TRUE(book.OpenAddressBook());
    ASSERT_TRUE(book.database().InsertRow("GROUPADDR_TB", "GPNAME, ORGSEQ", "'g', 1"));
    ASSERT_TRUE(book.database().InsertRow("ADDRESS_TB", "ADDRNAME, GPSEQ", "'a', 1"));
  }
  EXPECT_EQ(Raw("SELECT count(*) FROM GROUPADDR_TB"), Rows{{"1"}});
  EXPECT_EQ(Raw("SELECT count(*) FROM ADDRESS_TB"), Rows{{"1"}});
}

// A QXBOOK.mdb that is not an SQLite database (an old Access file, anything else) is never
// written: writes do nothing, reads report a database error.
TEST(AddressBookForeignFileTest, LeftUntouched) {
  std::string access(4096, '\0');
  access.replace(4, 15, "Standard Jet DB");
  for (const std::string& bytes : {access, std::string("not a database at all")}) {
    TempDir dir;
    std::filesystem::path path = dir.path() / AddressBook::kFileName;
    WriteFileBytes(path, bytes);
    {
      AddressBook book(path);
      EXPECT_FALSE(book.OpenAddressBook());
      book.SaveID("kim");
      book.SaveID_Reset();
      book.EnsureUserTable("kim");
      book.SaveRecentNumbers(1, "kim", "01012345678,");
      EXPECT_THROW(book.SaveIDLoad(), CDBException);
      EXPECT_THROW(book.LoadRecentNumbers("kim"), CDBException);
      EXPECT_THROW(book.Groups(), CDBException);
      EXPECT_THROW(book.Addresses("1"), CDBException);
      EXPECT_THROW(book.FindGroupSeq("g"), CDBException);
    }
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  }
}

}  // namespace
}  // namespace parley
