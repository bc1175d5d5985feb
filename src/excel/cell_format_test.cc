#include "excel/cell_format.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

TEST(CellFormatTest, Numbers) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {{1012345678, "1012345678"},
               {0.1, "0.1"},
               {-0.0, "0"},
               {2.5, "2.5"},
               {1e21, "1e+21"},
               {-42, "-42"},
               {1.0 / 3, "0.3333333333333333"}};
  for (const Case& c : cases) EXPECT_EQ(FormatNumber(c.value), c.text) << c.value;
}

TEST(CellFormatTest, Dates) {
  struct Case {
    double serial;
    bool date1904;
    const char* text;
  } cases[] = {
      {1, false, "1900-01-01"},
      {59, false, "1900-02-28"},
      {60, false, "1900-02-29"},
      {61, false, "1900-03-01"},
      {45000, false, "2023-03-15"},
      {45000.5, false, "2023-03-15 12:00:00"},
      {45000.99999999, false, "2023-03-16"},
      {0, true, "1904-01-01"},
      {43538, true, "2023-03-15"},
      {0.75, false, "18:00:00"},
      {44927.2541666667, false, "2023-01-01 06:06:00"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDate(c.serial, c.date1904), c.text) << c.serial;
}

TEST(CellFormatTest, DateFormats) {
  EXPECT_TRUE(IsDateFormat(14, ""));
  EXPECT_TRUE(IsDateFormat(22, ""));
  EXPECT_FALSE(IsDateFormat(0, "General"));
  EXPECT_FALSE(IsDateFormat(2, "0.00"));
  EXPECT_TRUE(IsDateFormat(164, "yyyy\\-mm\\-dd"));
  EXPECT_TRUE(IsDateFormat(165, "[$-412]yyyy\"년\" m\"월\" d\"일\""));
  EXPECT_TRUE(IsDateFormat(166, "[h]:mm"));
  EXPECT_FALSE(IsDateFormat(167, "#,##0\"원\""));
  EXPECT_FALSE(IsDateFormat(168, "[Red]0.00;\"day\""));
  EXPECT_FALSE(IsDateFormat(169, "General"));
  EXPECT_TRUE(IsDateFormat(170, "[mm]:ss"));
  EXPECT_FALSE(IsDateFormat(171, "[Magenta]#,##0"));  // a colour, not elapsed minutes
  EXPECT_FALSE(IsDateFormat(172, "[>=100]0;0.0"));
}

}  // namespace
}  // namespace parley
