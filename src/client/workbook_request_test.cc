#include "client/workbook_request.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

TEST(ExcelFormatTest, TemplatesSheetsAndBodies) {
  EXPECT_EQ(SheetTable("수신자"), "수신자$");
  EXPECT_EQ(SheetTable("Sheet1$"), "Sheet1$");
  EXPECT_EQ(SheetTable("'Phone list$'"), "'Phone list$'");

  struct TemplateCase {
    std::string text;
    std::string message;
    size_t max_bytes;
  };
  const TemplateCase cases[] = {
      // No markers: the text alone, its reserved characters coded.
      {"a<b>", "a&lt;b&gt;", 4},
      // Columns in order of first use, each once; markers count at their width.
      {"[이름:6]님 [a,b:3] [이름:6]", "이름,a&comma;b<Q>[이름:6]님 [a,b:3] [이름:6]",
       6 + 2 + 1 + 3 + 1 + 6},
      // Not markers: no width digits closing, an empty name.
      {"[x:1a] [:3]", "[x:1a] [:3]", 11},
  };
  for (const TemplateCase& c : cases) {
    EXPECT_EQ(ExcelMessage(c.text), c.message) << c.text;
    EXPECT_EQ(ComposedMaxBytes(c.text), c.max_bytes) << c.text;
  }

  ExcelOptions o;
  o.sheet = "수신자";
  o.phone_column = "전화";
  o.callback = "0212345678";
  o.text = "[이름:6]님";
  o.title = "T";
  EXPECT_EQ(ExcelPreviewBody(o), "3<QX>수신자$<QX>전화<QX>0212345678<QX>이름<Q>[이름:6]님<QX>11");
  o.dedupe = true;
  o.callback.clear();
  o.callback_column = "회신";
  EXPECT_EQ(ExcelSendBody(o, 3, 300, {"a.jpg", "b.jpg"}),
            "3<QX>300<QX>T<QX><QX>수신자$<QX><ONCE>전화<QX>회신<QX>이름<Q>[이름:6]님<QX>1"
            "<QX><IMG>a.jpg,b.jpg,");
  // The advertising tags lead the title; the night one only with the advertising one.
  o.advert = true;
  EXPECT_TRUE(ExcelSendBody(o, 1, 1, {}).starts_with("1<QX>1<QX><AD>T<QX>"));
  o.night_consent = true;
  EXPECT_TRUE(ExcelSendBody(o, 1, 1, {}).starts_with("1<QX>1<QX><AD><NIGHT>T<QX>"));
  o.advert = false;
  EXPECT_TRUE(ExcelSendBody(o, 1, 1, {}).starts_with("1<QX>1<QX>T<QX>"));
  o.night_consent = false;
  o.images = {"a.jpg"};
  EXPECT_EQ(ExcelSendMode(o), 3);
  o.images.clear();
  o.text = std::string(90, 'x') + "[이름:10]";
  EXPECT_EQ(ExcelSendMode(o), 2);  // a composed text can pass 99 bytes
}

}  // namespace
}  // namespace parley
