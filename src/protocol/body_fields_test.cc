// The body splitter every request parser uses.
#include "protocol/body_fields.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace parley::protocol {
namespace {

#define HELLO "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4"  // 안녕하세요
#define UNTITLED "\xC1\xA6\xB8\xF1\xBE\xF8\xC0\xBD"       // 제목없음

TEST(BodyFieldsTest, SplitsAtSeparatorsAndBackticks) {
  struct Case {
    std::string_view body;
    std::vector<std::string_view> expected;
  };
  const Case cases[] = {
      {"", {""}},
      {"a", {"a"}},
      {"a<QX>b<QX>c", {"a", "b", "c"}},
      {"<QX>", {"", ""}},
      {"a<QX>", {"a", ""}},
      {"a<QX><QX>b", {"a", "", "b"}},
      // A literal backtick splits too.
      {"a`b<QX>c", {"a", "b", "c"}},
      {"`<QX>`", {"", "", "", ""}},
      {UNTITLED "<QX>" HELLO, {UNTITLED, HELLO}},
      // Not a "<QX>": its "<" is the second byte of a character.
      {"\xB0<QX>a", {"\xB0<QX>a"}},
      {"<QX<QX>>", {"<QX", ">"}},
      {"<qx>", {"<qx>"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::string(c.body)));
    const BodyFields fields(c.body);
    ASSERT_EQ(fields.size(), c.expected.size());
    for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(fields[i], c.expected[i]);
    EXPECT_EQ(fields[c.expected.size()], "");
    EXPECT_EQ(fields[1000], "");
  }
}

TEST(BodyFieldsTest, SurviveCopyAndMove) {
  // Short bodies live inside the string object itself, so views into a moved
  // or copied object would dangle unless they are rebuilt.
  auto original = std::make_unique<BodyFields>("a<QX>b`c");
  BodyFields copy = *original;
  BodyFields assigned("x");
  assigned = *original;
  BodyFields moved = std::move(*original);
  original.reset();
  for (const BodyFields* fields : {&copy, &assigned, &moved}) {
    ASSERT_EQ(fields->size(), 3u);
    EXPECT_EQ((*fields)[0], "a");
    EXPECT_EQ((*fields)[1], "b");
    EXPECT_EQ((*fields)[2], "c");
  }
}

TEST(BodyFieldsTest, NumbersAndPictures) {
  const BodyFields f("12x<QX> -3<QX>x<QX><IMG>a,b");
  EXPECT_EQ(f.Number(0), 12);
  EXPECT_EQ(f.Number(1), -3);
  EXPECT_EQ(f.Number(2), 0);
  EXPECT_EQ(f.Number(9), 0);
  EXPECT_TRUE(f.HasPictures());
  EXPECT_EQ(PictureList(f, 3), "a,b");
  // "<IMG>" at the very start does not count.
  EXPECT_FALSE(BodyFields("<IMG>a").HasPictures());
  EXPECT_EQ(PictureList(BodyFields("<IMG>a"), 0), "");
}

}  // namespace
}  // namespace parley::protocol
