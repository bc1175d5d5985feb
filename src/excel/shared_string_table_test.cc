#include "excel/shared_string_table.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace parley {
namespace {

TEST(SharedStringTableTest, ReaderWaitsForTheWriter) {
  constexpr uint32_t kCount = 300000;  // several blocks, not a multiple of the publishing step
  SharedStringTable table;
  std::thread writer([&] {
    for (uint32_t i = 0; i < kCount; ++i) {
      if (i == 1000) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ASSERT_TRUE(table.Add(std::to_string(i)));
    }
    table.Finish(true);
  });
  // The last string first: the reader waits for the end.
  std::string_view text;
  ASSERT_TRUE(table.Get(kCount - 1, &text));
  EXPECT_EQ(text, std::to_string(kCount - 1));
  for (uint32_t i = 0; i < kCount; i += 997) {
    ASSERT_TRUE(table.Get(i, &text));
    EXPECT_EQ(text, std::to_string(i));
  }
  EXPECT_FALSE(table.Get(kCount, &text));
  writer.join();
  EXPECT_EQ(table.size(), kCount);
}

TEST(SharedStringTableTest, FailedWriterEndsTheWait) {
  SharedStringTable table;
  std::thread writer([&] {
    for (int i = 0; i < 1000; ++i) table.Add("s");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    table.Finish(false);
  });
  // Published strings stay readable; the ones after them never come.
  std::string_view text;
  EXPECT_FALSE(table.Get(5000, &text));
  writer.join();
  ASSERT_TRUE(table.Get(255, &text));
  EXPECT_EQ(text, "s");
}

// Empty strings, strings of every length up to the longest, and strings that no longer fit the
// rest of a chunk all read back as added.
TEST(SharedStringTableTest, StringsOfEveryLengthReadBack) {
  SharedStringTable table;
  std::vector<std::string> added;
  for (size_t i = 0; i < 400; ++i) {
    const size_t size = i % 50 == 0  ? SharedStringTable::kMaxStringBytes
                        : i % 7 == 0 ? 0
                        : i % 3 == 0 ? 20000 + i
                                     : i;
    added.emplace_back(size, static_cast<char>('a' + i % 26));
    ASSERT_TRUE(table.Add(added.back())) << i;
  }
  EXPECT_FALSE(table.Add(std::string(SharedStringTable::kMaxStringBytes + 1, 'x')));
  table.Finish(true);
  for (uint32_t i = 0; i < added.size(); ++i) {
    std::string_view text;
    ASSERT_TRUE(table.Get(i, &text)) << i;
    EXPECT_EQ(text, added[i]) << i;
  }
}

}  // namespace
}  // namespace parley
