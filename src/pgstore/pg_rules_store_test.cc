// The sending rules' data on both stores, one suite: the address book file and the office's
// PostgreSQL database (a private server the test script starts; PARLEY_TEST_DATABASE names it).
#include "pgstore/pg_rules_store.h"

#include <cstdlib>
#include <memory>

#include <gtest/gtest.h>

#include "db/address_book.h"
#include "pgstore/test_database.h"
#include "testing/engine_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

class RulesStoreTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (std::string(GetParam()) == "sqlite") {
      book_ = std::make_unique<AddressBook>(dir_.path() / "QXBOOK.mdb");
      ASSERT_TRUE(book_->OpenAddressBook());
      store_ = std::make_unique<RulesBook>(*book_);
      return;
    }
    const std::string url = testing::FreshSchema("rules_store_test");
    if (url.empty()) GTEST_SKIP() << "no PostgreSQL server (PARLEY_TEST_DATABASE)";
    auto pg = std::make_unique<PgRulesStore>(url);
    std::string error;
    ASSERT_TRUE(pg->Open(&error)) << error;
    store_ = std::move(pg);
  }

  testing::TempDir dir_;
  std::unique_ptr<AddressBook> book_;
  std::unique_ptr<RulesStore> store_;
};

TEST_P(RulesStoreTest, ListsAndSettingsKeepWhatTheyAreGiven) {
  RulesStore& s = *store_;
  const ListAdded added = s.AddOptOuts({"01011112222", "01033334444", "01011112222"},
                                       Utf8ToAnsi("전화로 거부"), 1765000000);
  EXPECT_TRUE(added.ok);
  EXPECT_EQ(added.added, 2);
  EXPECT_EQ(added.already, 1);  // the number given twice
  const ListAdded again = s.AddOptOuts({"01033334444", "01055556666"}, "", 1765000100);
  EXPECT_EQ(again.added, 1);
  EXPECT_EQ(again.already, 1);
  EXPECT_EQ(s.OptOuts(),
            (std::vector<OptOutEntry>{{"01011112222", 1765000000, Utf8ToAnsi("전화로 거부")},
                                      {"01033334444", 1765000000, Utf8ToAnsi("전화로 거부")},
                                      {"01055556666", 1765000100, ""}}));
  EXPECT_EQ(s.RemoveOptOuts({"01033334444", "01099999999"}), 1);
  EXPECT_EQ(s.OptOuts().size(), 2u);

  EXPECT_EQ(s.AddCallbacks({"021234567", "15881234"}, Utf8ToAnsi("본점")).added, 2);
  EXPECT_EQ(s.Callbacks().front(), (CallbackEntry{"021234567", Utf8ToAnsi("본점")}));
  EXPECT_EQ(s.RemoveCallbacks({"15881234"}), 1);

  EXPECT_TRUE(s.SetSetting(kBusinessNameSetting, Utf8ToAnsi("파리상회")));
  EXPECT_TRUE(s.SetSetting(kOptOutNumberSetting, "0801234567"));
  EXPECT_FALSE(s.SetSetting("colour", "blue"));
  EXPECT_EQ(s.Settings()[std::string(kBusinessNameSetting)], Utf8ToAnsi("파리상회"));
  EXPECT_TRUE(s.SetSetting(kOptOutNumberSetting, ""));
  EXPECT_FALSE(s.Settings().contains(std::string(kOptOutNumberSetting)));
}

INSTANTIATE_TEST_SUITE_P(Stores, RulesStoreTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace parley
