// The address book kept by hand, on real files in a temporary folder.
#include "client/book_file.h"

#include <sstream>

#include <gtest/gtest.h>

#include "db/address_book.h"
#include "db/test_util.h"
#include "excel/workbook_writer.h"
#include "testing/engine_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

class BookFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(file_.Open(path_, &error)) << error;
  }

  std::string Export(const char* group) {
    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(file_.Export(group, out, &error)) << error;
    return out.str();
  }

  int Import(const char* group, const std::string& csv) {
    std::istringstream in(csv);
    int added = -1;
    std::string error;
    EXPECT_TRUE(file_.Import(group, in, &added, &error)) << error;
    return added;
  }

  std::vector<BookGroup> Groups() {
    std::vector<BookGroup> groups;
    std::string error;
    EXPECT_TRUE(file_.Groups(&groups, &error)) << error;
    return groups;
  }

  testing::TempDir dir_;
  std::filesystem::path path_ = dir_.path() / "QXBOOK.mdb";
  BookFile file_;
};

TEST_F(BookFileTest, GroupsKeepTheirKeysAndAddressCounts) {
  std::string error;
  ASSERT_TRUE(file_.AddGroup("친구", &error)) << error;
  ASSERT_TRUE(file_.AddGroup("회사", &error)) << error;
  EXPECT_EQ(Import("친구", "a,010-1\nb,0102\n"), 2);
  EXPECT_EQ(Import("친구", "c,0103\n"), 1);
  std::vector<BookGroup> groups = Groups();
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].name, "친구");
  EXPECT_EQ(groups[0].addrnum, 3);
  EXPECT_EQ(groups[0].orgseq, 1);
  EXPECT_EQ(groups[1].orgseq, 2);

  // Removing a group takes its addresses along; a new group never reuses a key in use.
  ASSERT_TRUE(file_.RemoveGroup("친구", &error)) << error;
  ASSERT_TRUE(file_.AddGroup("가족", &error)) << error;
  groups = Groups();
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[1].name, "가족");
  EXPECT_EQ(groups[1].orgseq, 3);
  EXPECT_EQ(Export("가족"), "");
  EXPECT_EQ(testing::RawQuery(path_, "SELECT COUNT(*) FROM ADDRESS_TB"),
            (std::vector<std::vector<std::string>>{{"0"}}));
}

TEST_F(BookFileTest, CsvLinesRoundTrip) {
  std::string error;
  ASSERT_TRUE(file_.AddGroup("it's; DROP TABLE ADDRESS_TB", &error)) << error;
  const char* group = "it's; DROP TABLE ADDRESS_TB";
  const std::string csv =
      "\xEF\xBB\xBF"
      "이름,전화번호\r\n"                   // heading: skipped
      "홍길동, 010-1234-5678 \r\n"          // blanks and hyphens go
      "\"김, \"\"철수\"\"\",01099998888\n"  // quoted name with a comma and quotes
      "\n"
      ",,\n"
      "no phone\n"
      "bad,01x\n"
      "'); DELETE FROM ADDRESS_TB; --,0105\n";
  EXPECT_EQ(Import(group, csv), 3);
  const std::string exported = Export(group);
  EXPECT_EQ(exported,
            "홍길동,01012345678\n"
            "\"김, \"\"철수\"\"\",01099998888\n"
            "'); DELETE FROM ADDRESS_TB; --,0105\n");
  // What comes out goes back in unchanged.
  ASSERT_TRUE(file_.AddGroup("copy", &error)) << error;
  EXPECT_EQ(Import("copy", exported), 3);
  EXPECT_EQ(Export("copy"), exported);
  // A line saved in the Korean code page keeps its name.
  ASSERT_TRUE(file_.AddGroup("cp949", &error)) << error;
  EXPECT_EQ(Import("cp949", Utf8ToAnsi("김철수,01011112222\n")), 1);
  EXPECT_EQ(Export("cp949"), "김철수,01011112222\n");
}

TEST_F(BookFileTest, WorkbookContactsImport) {
  std::string error;
  ASSERT_TRUE(file_.AddGroup("고객", &error)) << error;
  // Phones as numbers (their leading zero lost) and as text; with and without a heading line.
  const std::vector<SheetData> with_heading = {
      {"연락처",
       {{std::string("이름"), std::string("전화")},
        {std::string("홍길동"), 1012345678.0},
        {std::string("김철수"), std::string("010-9999-8888")},
        {std::string("빈칸"), std::nullopt}}},
      {"other", {{std::string("x"), std::string("01000000000")}}}};
  const std::vector<SheetData> without_heading = {
      {"Sheet1", {{std::string("박영희"), 1011112222.0}, {std::string("이순신"), 212345678.0}}}};
  const std::filesystem::path a = dir_.path() / "a.xlsx";
  const std::filesystem::path b = dir_.path() / "b.ods";
  ASSERT_TRUE(WriteXlsx(a, with_heading, XlsxOptions{}, &error)) << error;
  ASSERT_TRUE(WriteOds(b, without_heading, &error)) << error;
  int added = 0;
  ASSERT_TRUE(file_.ImportWorkbook("고객", a, &added, &error)) << error;
  EXPECT_EQ(added, 2);
  ASSERT_TRUE(file_.ImportWorkbook("고객", b, &added, &error)) << error;
  EXPECT_EQ(added, 2);
  EXPECT_EQ(Export("고객"),
            "홍길동,01012345678\n김철수,01099998888\n박영희,01011112222\n이순신,0212345678\n");
  EXPECT_FALSE(file_.ImportWorkbook("고객", dir_.path() / "missing.xlsx", &added, &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(BookFileTest, RefusalsLeaveTheFileAsItWas) {
  std::string error;
  ASSERT_TRUE(file_.AddGroup("친구", &error)) << error;
  const std::string before = testing::ReadFileBytes(path_);
  std::istringstream csv("a,0101\n");
  int added = 0;
  std::ostringstream out;
  EXPECT_FALSE(file_.AddGroup("친구", &error));
  EXPECT_FALSE(file_.AddGroup("", &error));
  // Names a group send could not carry: a comma would split it, edge spaces would reach "VIP".
  for (const char* name : {"A,B", " VIP", "VIP ", "\tVIP"}) {
    EXPECT_FALSE(file_.AddGroup(name, &error)) << name;
    EXPECT_NE(error.find("rename the group"), std::string::npos) << error;
  }
  EXPECT_FALSE(file_.RemoveGroup("친", &error));
  EXPECT_FALSE(file_.RemoveGroup("%", &error));
  EXPECT_FALSE(file_.Import("없음", csv, &added, &error));
  EXPECT_FALSE(file_.Export("없음", out, &error));
  EXPECT_EQ(error, "no group named \"없음\"");
  EXPECT_EQ(testing::ReadFileBytes(path_), before);

  const std::filesystem::path other = dir_.path() / "old.mdb";
  const std::string access("\0\x01\0\0Standard Jet DB\0", 20);
  testing::WriteFileBytes(other, access);
  BookFile old;
  EXPECT_FALSE(old.Open(other, &error));
  EXPECT_NE(error.find("not an SQLite database"), std::string::npos) << error;
  EXPECT_EQ(testing::ReadFileBytes(other), access);
}

// Contacts edited one at a time, as the page's address book does: each group's count follows
// every change, and a contact that is gone or a group that is not refuse.
TEST_F(BookFileTest, ContactsAreAddedEditedMovedAndRemovedWithTheirGroupsCounts) {
  std::string error;
  ASSERT_TRUE(file_.AddGroup("친구", &error)) << error;
  ASSERT_TRUE(file_.AddGroup("고객", &error)) << error;
  ASSERT_TRUE(file_.AddContact("친구", "김철수", "010-1234-5678", &error)) << error;
  ASSERT_TRUE(file_.AddContact("친구", "이영희", "010 9876 5432", &error)) << error;
  EXPECT_FALSE(file_.AddContact("친구", "박", "전화없음", &error));
  EXPECT_FALSE(file_.AddContact("가족", "박", "01011112222", &error));
  std::vector<BookContact> friends;
  ASSERT_TRUE(file_.Members("친구", &friends, &error)) << error;
  ASSERT_EQ(friends.size(), 2u);
  EXPECT_EQ(friends[1].phone, "01098765432");

  ASSERT_TRUE(file_.UpdateContact(friends[0].id, "김철수(회사)", "02-123-4567", &error)) << error;
  ASSERT_TRUE(file_.MoveContact(friends[1].id, "고객", &error)) << error;
  EXPECT_EQ(Export("친구"), "김철수(회사),021234567\n");
  EXPECT_EQ(Export("고객"), "이영희,01098765432\n");
  auto count = [&](const char* name) {
    for (const BookGroup& g : Groups()) {
      if (g.name == name) return g.addrnum;
    }
    return int64_t{-1};
  };
  EXPECT_EQ(count("친구"), 1);
  EXPECT_EQ(count("고객"), 1);

  ASSERT_TRUE(file_.RemoveContact(friends[1].id, &error)) << error;
  EXPECT_EQ(count("고객"), 0);
  EXPECT_FALSE(file_.RemoveContact(friends[1].id, &error));
  EXPECT_FALSE(file_.MoveContact(friends[0].id, "가족", &error));
  EXPECT_EQ(count("친구"), 1);
}

}  // namespace
}  // namespace parley
