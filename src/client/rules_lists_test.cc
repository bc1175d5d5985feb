#include "client/rules_lists.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "testing/engine_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

TEST(RulesListsTest, ListFilesGiveTheirFirstColumnWithoutAHeading) {
  const testing::TempDir dir;
  struct Case {
    std::string content;
    std::vector<std::string> items;
  } cases[] = {
      {"01011112222\n010-3333-4444\n", {"01011112222", "010-3333-4444"}},
      {"번호,메모\r\n01011112222,요청\r\n\r\n 010 3333 4444 ,\r\n",
       {"01011112222", "010 3333 4444"}},
      {"\xEF\xBB\xBFphone\n\"010-1111-2222\",\"a, b\"\n", {"010-1111-2222"}},
      // A first line with digits is a number, even a wrong one: the engine names it.
      {"12\n홍길동\n", {"12", "홍길동"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    const std::filesystem::path path = dir.path() / "list.csv";
    std::ofstream(path, std::ios::binary) << c.content;
    std::vector<std::string> items;
    EXPECT_FALSE(ItemsOfListFile(path.string(), &items));
    EXPECT_EQ(items, c.items);
  }
  const std::filesystem::path heading = dir.path() / "heading.csv";
  std::ofstream(heading) << "번호\n\n";
  std::vector<std::string> items;
  const auto empty = ItemsOfListFile(heading.string(), &items);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->code, Msg::kListFileEmpty);
  const auto missing = ItemsOfListFile((dir.path() / "none.txt").string(), &items);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->code, Msg::kFileUnreadable);
}

TEST(RulesListsTest, AnExportedListReadsBackAsItsNumbers) {
  protocol::NumberListReply list;
  list.entries = {{"01011112222", 0, ""},
                  {"01033334444", 0, Utf8ToAnsi("전화, \"직접\"")},
                  {"01055556666", 0, "web"}};
  const std::string text = ListFileText(list);
  EXPECT_EQ(text, "01011112222\n01033334444,\"전화, \"\"직접\"\"\"\n01055556666,web\n");
  const testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "out.csv";
  std::ofstream(path, std::ios::binary) << text;
  std::vector<std::string> items;
  EXPECT_FALSE(ItemsOfListFile(path.string(), &items));
  EXPECT_EQ(items, (std::vector<std::string>{"01011112222", "01033334444", "01055556666"}));
}

TEST(RulesListsTest, EngineAnswersBecomeVerdicts) {
  struct OptOutCase {
    int64_t recipients;
    int64_t opted_out;
    Msg code;
  } optouts[] = {{3, 0, Msg::kOptedOutLeftOut},
                 {3, 2, Msg::kOptedOutLeftOut},
                 {3, 3, Msg::kAllOptedOut},
                 {0, 0, Msg::kOptedOutLeftOut}};
  for (const OptOutCase& c : optouts) {
    const Verdict v = OptOutVerdict({c.recipients, c.opted_out, {}});
    EXPECT_EQ(v.code, c.code) << c.recipients << "/" << c.opted_out;
    EXPECT_EQ(v.values, std::vector<std::string>{std::to_string(c.opted_out)});
  }
  struct RefusedCase {
    std::string problem;
    Msg code;
  } refused[] = {{"empty", Msg::kNumberEmpty},
                 {"not-digits", Msg::kNumberNotDigits},
                 {"not-mobile", Msg::kNumberNotMobile},
                 {"not-callback", Msg::kNumberNotCallback},
                 {"something-new", Msg::kNumberNotDigits}};
  for (const RefusedCase& c : refused) {
    const Verdict v = RefusedItemVerdict({Utf8ToAnsi("홍길동"), c.problem});
    EXPECT_EQ(v.code, c.code) << c.problem;
    EXPECT_EQ(v.item, "홍길동");
  }
  SendOptions planned;
  planned.advert = true;
  planned.groups = {"고객", "VIP"};
  planned.to = {"01011112222", "01033334444"};
  EXPECT_EQ(OptOutCheckBody(planned), "1<QX>고객,VIP<QX>01011112222,01033334444");
}

}  // namespace
}  // namespace parley
