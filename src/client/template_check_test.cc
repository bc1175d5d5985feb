#include "client/template_check.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

TEST(CheckTemplateTest, MarkersAgainstColumnsAndRows) {
  const std::vector<std::string> columns = {"이름", "전화", "금액"};
  const std::vector<std::vector<std::string>> rows = {
      {"김철수", "01012345678", "1000"},
      {"남궁민수", "01098765432", "250000"},
  };
  struct Case {
    const char* text;
    std::vector<std::string> problems;
  } cases[] = {
      {"[이름:6]님 안녕하세요", {"row 2: 이름 \"남궁민수\" is cut to \"남궁민\""}},
      {"[이름:8]님 안녕하세요", {}},
      {"[이름]님 안녕하세요",
       {"[이름] has no width: write [column:width] (it would stay as it is)"}},
      {"[공지] [이름:8]님", {}},  // a bracketed word that names no column is text
      {"[고객명:8]님", {"no column \"고객명\"; the columns are: 이름, 전화, 금액"}},
      {"[금액:4]원", {"row 2: 금액 \"250000\" is cut to \"2500\""}},
      {"[이름:6] [이름:6]", {"row 2: 이름 \"남궁민수\" is cut to \"남궁민\""}},
      {"[이름:5]",
       {"row 1: 이름 \"김철수\" is cut to \"김철\"",
        "row 2: 이름 \"남궁민수\" is cut to \"남궁\""}},  // no half character
      {"no markers", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> texts;
    for (const TemplateProblem& p : CheckTemplate(c.text, columns, rows, 1)) {
      texts.push_back(Word(Language::kEnglish, p.verdict));
      EXPECT_EQ(p.cut, texts.back().starts_with("row "));
    }
    EXPECT_EQ(texts, c.problems);
  }
}

TEST(FindMarkersTest, NamesAndWidths) {
  const std::vector<TemplateMarker> m = FindMarkers("[a:3] [b:] [c] [:4] [d:x] [e:12]");
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0].name, "a");
  EXPECT_EQ(m[0].width, 3u);
  EXPECT_EQ(m[1].name, "b");
  EXPECT_EQ(m[1].width, 0u);
  EXPECT_EQ(m[2].name, "e");
  EXPECT_EQ(m[2].width, 12u);
}

}  // namespace
}  // namespace parley
