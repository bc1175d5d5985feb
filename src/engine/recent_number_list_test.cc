#include "engine/recent_number_list.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

std::string Slots(const RecentNumberList& list) {
  std::string s;
  for (int i = 0; i < RecentNumberList::kSlots; ++i) s += "[" + list.At(i) + "]";
  return s;
}

TEST(RecentNumberList, MostRecentFirstAndFiveAtMost) {
  RecentNumberList list;
  EXPECT_EQ(list.Text(), "4<QX>");
  for (auto n : {"01000000001", "01000000002", "01000000003", "01000000004", "01000000005"}) {
    list.Add(n);
  }
  EXPECT_EQ(Slots(list), "[01000000005][01000000004][01000000003][01000000002][01000000001]");
  list.Add("01000000006");
  EXPECT_EQ(Slots(list), "[01000000006][01000000005][01000000004][01000000003][01000000002]");
  // A number already in the list moves to the front; the others keep their order.
  list.Add("01000000003");
  EXPECT_EQ(Slots(list), "[01000000003][01000000006][01000000005][01000000004][01000000002]");
}

TEST(RecentNumberList, PrefixMatchesAndLongNumbers) {
  RecentNumberList list;
  list.Add("010123456789");  // twelve characters: the first eleven are kept
  EXPECT_EQ(list.At(0), "01012345678");
  list.Add("0229999999");
  list.Add("010");  // removes the first entry that starts with "010"
  EXPECT_EQ(Slots(list), "[010][0229999999][][][]");
  int count = 0;
  EXPECT_EQ(list.Joined(&count), "010,0229999999,");
  EXPECT_EQ(count, 2);
  EXPECT_EQ(list.Text(), "4<QX>010,0229999999,");
  list.Add("");  // changes nothing
  EXPECT_EQ(list.At(1), "0229999999");
  list.Clear();
  EXPECT_EQ(list.Text(), "4<QX>");
}

}  // namespace
}  // namespace parley
