#include "client/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace parley {
namespace {

TEST(LocaleFromEnvironmentTest, FirstSetVariableDecides) {
  struct Case {
    const char* lc_all;
    const char* lc_messages;
    const char* lang;
    Language language;
  } cases[] = {
      {nullptr, nullptr, "ko_KR.UTF-8", Language::kKorean},
      {nullptr, nullptr, "en_US.UTF-8", Language::kEnglish},
      {"C", nullptr, "ko_KR.UTF-8", Language::kEnglish},
      {"", "ko_KR.UTF-8", "en_US.UTF-8", Language::kKorean},
      {"ko", nullptr, nullptr, Language::kKorean},
      {nullptr, nullptr, nullptr, Language::kEnglish},
      {nullptr, nullptr, "kor", Language::kKorean},
      {nullptr, nullptr, "k", Language::kEnglish},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LocaleFromEnvironment(c.lc_all, c.lc_messages, c.lang), c.language);
  }
}

TEST(FormatAmountTest, SeparatorsAndUnit) {
  struct Case {
    const char* amount;
    const char* korean;
    const char* english;
  } cases[] = {
      {"108712", "108,712원", "108,712 won"},
      {"108712.", "108,712원", "108,712 won"},
      {"108712.00", "108,712원", "108,712 won"},
      {"0", "0원", "0 won"},
      {"999", "999원", "999 won"},
      {"1000", "1,000원", "1,000 won"},
      {"-1234567", "-1,234,567원", "-1,234,567 won"},
      {"12.5", "12.5", "12.5"},
      {"", "", ""},
      {"n/a", "n/a", "n/a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.amount);
    EXPECT_EQ(FormatAmount(Language::kKorean, c.amount), c.korean);
    EXPECT_EQ(FormatAmount(Language::kEnglish, c.amount), c.english);
  }
}

TEST(TextTest, ArgumentsInOrderAndBothLanguages) {
  EXPECT_EQ(Text(Language::kEnglish, Msg::kDuplicatesRemoved, {"3"}),
            "3 duplicate number(s) removed");
  EXPECT_EQ(Text(Language::kKorean, Msg::kDuplicatesRemoved, {"3"}), "중복 번호 3개를 뺐습니다");
  EXPECT_EQ(Text(Language::kEnglish, Msg::kDidYouMean, {"sned", "send"}),
            "unknown command \"sned\"; did you mean \"send\"?");
}

// A table's headings come in the same number in both languages, or its columns would shift.
TEST(TextTest, TableHeadingsMatchInBothLanguages) {
  for (const Msg id : {Msg::kJobsHeadings, Msg::kSavedHeadings, Msg::kCatalogueTextHeadings,
                       Msg::kCatalogueGroupHeadings, Msg::kResultsHeadings, Msg::kStatsHeadings,
                       Msg::kPreviewHeadings}) {
    const std::vector<std::string> english = Headings(Language::kEnglish, id);
    EXPECT_GT(english.size(), 1u) << english[0];
    EXPECT_EQ(Headings(Language::kKorean, id).size(), english.size()) << english[0];
  }
  EXPECT_EQ(Headings(Language::kKorean, Msg::kStatsHeadings),
            (std::vector<std::string>{"날짜", "SMS", "LMS", "MMS", "합계"}));
}

}  // namespace
}  // namespace parley
