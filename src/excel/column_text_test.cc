#include "excel/column_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace parley {
namespace {

// Values of every size up to a block, with gaps between rows, read back as written: values that
// no longer fit their block start the next one, and rows skipped or past the last are NULL.
TEST(ColumnTextTest, ValuesReadBackAcrossBlocks) {
  std::mt19937 random(7);
  ColumnText column;
  std::vector<std::string> expected;
  uint32_t row = 0;
  int64_t slots = 0;
  for (int i = 0; i < 3000; ++i) {
    row += 1 + random() % 3;
    const size_t size =
        i % 500 == 0 ? ColumnText::kBlockBytes : 1 + random() % (i % 7 == 0 ? 40000 : 30);
    std::string value(size, static_cast<char>('a' + i % 26));
    value.front() = static_cast<char>('A' + i % 26);
    slots += column.Set(row, value);
    expected.resize(row + 1);
    expected[row] = value;
  }
  EXPECT_EQ(column.Set(row, "again"), 0);  // rows ascend: a row is set once
  ASSERT_EQ(column.rows(), row + 1);
  EXPECT_EQ(slots, row + 1);
  for (uint32_t r = 0; r <= row + 2; ++r) {
    const std::string_view got = column.Get(r);
    if (r >= expected.size() || expected[r].empty()) {
      EXPECT_EQ(got.data(), nullptr) << r;
    } else {
      ASSERT_NE(got.data(), nullptr) << r;
      EXPECT_EQ(got, expected[r]) << r;
    }
  }
}

TEST(ColumnTextTest, ShortColumnsStaySmall) {
  ColumnText column;
  EXPECT_EQ(column.Set(0, "010-1234-5678"), 1);
  EXPECT_EQ(column.Set(5, "x"), 5);
  EXPECT_LT(column.memory(), 512u);
  EXPECT_EQ(column.Get(5), "x");
  EXPECT_EQ(column.Get(3).data(), nullptr);
}

}  // namespace
}  // namespace parley
