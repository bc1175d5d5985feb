#include "excel/shared_string_table.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

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
  const std::string_view* last = table.Get(kCount - 1);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(*last, std::to_string(kCount - 1));
  for (uint32_t i = 0; i < kCount; i += 997) {
    const std::string_view* text = table.Get(i);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(*text, std::to_string(i));
  }
  EXPECT_EQ(table.Get(kCount), nullptr);
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
  EXPECT_EQ(table.Get(5000), nullptr);
  writer.join();
  ASSERT_NE(table.Get(255), nullptr);
  EXPECT_EQ(*table.Get(255), "s");
}

}  // namespace
}  // namespace parley
