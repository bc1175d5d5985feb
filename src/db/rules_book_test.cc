#include "db/rules_book.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "db/address_book.h"
#include "db/db_exception.h"
#include "db/test_util.h"
#include "testing/engine_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

using testing::RawQuery;
using testing::ReadFileBytes;
using testing::TempDir;
using Names = std::vector<std::string>;

class RulesBookTest : public ::testing::Test {
 protected:
  Names TableNames() {
    Names names;
    for (const auto& row : RawQuery(path_, "SELECT name FROM sqlite_master WHERE type = 'table'")) {
      names.push_back(row[0]);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
  std::filesystem::path path_ = dir_.path() / AddressBook::kFileName;
  AddressBook book_{path_};
  RulesBook rules_{book_};
};

TEST_F(RulesBookTest, ABookThatNeverUsedTheRulesReadsEmptyAndStaysAsItWas) {
  ASSERT_TRUE(book_.OpenAddressBook());
  book_.database().Close();
  const std::string before = ReadFileBytes(path_);
  AddressBook reopened(path_);
  RulesBook rules(reopened);
  EXPECT_TRUE(rules.OptOuts().empty());
  EXPECT_TRUE(rules.Callbacks().empty());
  EXPECT_TRUE(rules.Settings().empty());
  EXPECT_EQ(rules.RemoveOptOuts({"01011112222"}), 0);
  reopened.database().Close();
  EXPECT_EQ(ReadFileBytes(path_), before);
  EXPECT_EQ(TableNames(), (Names{"ADDRESS_TB", "GROUPADDR_TB", "USER_TB"}));
}

TEST_F(RulesBookTest, ListsAddOnceRemoveAndReadBackInNumberOrder) {
  const ListAdded first = rules_.AddOptOuts({"01033334444", "01011112222", "01033334444"},
                                            Utf8ToAnsi("고객 요청"), 1700000000);
  EXPECT_TRUE(first.ok);
  EXPECT_EQ(first.added, 2);
  EXPECT_EQ(first.already, 1);
  const ListAdded again = rules_.AddOptOuts({"01011112222"}, "later", 1800000000);
  EXPECT_EQ(again.added, 0);
  EXPECT_EQ(again.already, 1);
  // The first note and time stay.
  EXPECT_EQ(rules_.OptOuts(),
            (std::vector<OptOutEntry>{{"01011112222", 1700000000, Utf8ToAnsi("고객 요청")},
                                      {"01033334444", 1700000000, Utf8ToAnsi("고객 요청")}}));
  EXPECT_EQ(rules_.RemoveOptOuts({"01011112222", "01099999999"}), 1);
  EXPECT_EQ(rules_.OptOuts().size(), 1u);

  EXPECT_EQ(rules_.AddCallbacks({"0212345678", "15881234"}, "main").added, 2);
  EXPECT_EQ(rules_.Callbacks(),
            (std::vector<CallbackEntry>{{"0212345678", "main"}, {"15881234", "main"}}));
  EXPECT_EQ(rules_.RemoveCallbacks({"15881234"}), 1);
  EXPECT_EQ(TableNames(),
            (Names{"ADDRESS_TB", "CALLBACK_TB", "GROUPADDR_TB", "OPTOUT_TB", "USER_TB"}));
}

TEST_F(RulesBookTest, SettingsKeepTheirNamesOnlyAndAnEmptyValueClears) {
  EXPECT_TRUE(rules_.SetSetting(kBusinessNameSetting, Utf8ToAnsi("파란상사")));
  EXPECT_TRUE(rules_.SetSetting(kOptOutAppliesSetting, "all"));
  EXPECT_TRUE(rules_.SetSetting(kOptOutAppliesSetting, "ad"));
  EXPECT_FALSE(rules_.SetSetting("colour", "blue"));
  EXPECT_EQ(rules_.Settings(),
            (std::map<std::string, std::string>{{"business_name", Utf8ToAnsi("파란상사")},
                                                {"optout_applies", "ad"}}));
  EXPECT_TRUE(rules_.SetSetting(kBusinessNameSetting, ""));
  EXPECT_EQ(rules_.Settings().count("business_name"), 0u);
  // Stored as the rest of the book stores text: UTF-8 in the file.
  EXPECT_EQ(RawQuery(path_, "SELECT VALUE FROM SETTING_TB"),
            (std::vector<std::vector<std::string>>{{"ad"}}));
}

TEST_F(RulesBookTest, ABookThatIsNoDatabaseRefusesWritesAndThrowsOnReads) {
  testing::WriteFileBytes(path_, "Standard Jet DB, not SQLite");
  EXPECT_FALSE(rules_.AddOptOuts({"01011112222"}, "", 1).ok);
  EXPECT_EQ(rules_.RemoveCallbacks({"0212345678"}), -1);
  EXPECT_FALSE(rules_.SetSetting(kOwnNumberSetting, "01011112222"));
  EXPECT_THROW(rules_.OptOuts(), CDBException);
  EXPECT_EQ(ReadFileBytes(path_), "Standard Jet DB, not SQLite");
}

}  // namespace
}  // namespace parley
