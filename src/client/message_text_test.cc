#include "client/message_text.h"

#include <gtest/gtest.h>

#include "text/cp949.h"
#include "text/text_codes.h"

namespace parley {
namespace {

TEST(CheckTextTest, BytesAndKind) {
  struct Case {
    std::string text;
    size_t pictures;
    size_t bytes;
    MessageKind kind;
    size_t problems;
  };
  std::string hangul45;
  for (int i = 0; i < 45; ++i) hangul45 += "가";
  const Case cases[] = {
      {"hello", 0, 5, MessageKind::kSms, 0},
      {std::string(90, 'a'), 0, 90, MessageKind::kSms, 0},
      {std::string(91, 'a'), 0, 91, MessageKind::kLms, 0},
      {hangul45, 0, 90, MessageKind::kSms, 0},
      {hangul45 + "가가", 0, 94, MessageKind::kLms, 0},  // 94 bytes of Korean is no SMS
      {std::string(2000, 'a'), 0, 2000, MessageKind::kLms, 0},
      {std::string(3000, 'a'), 0, 3000, MessageKind::kLms, 1},
      {"hi", 1, 2, MessageKind::kMms, 0},
      {"", 0, 0, MessageKind::kSms, 1},
      {" \n ", 0, 3, MessageKind::kSms, 1},
      {"a<b>`c", 0, 6, MessageKind::kSms, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 20));
    const TextCheck check = CheckText(c.text, c.pictures, TextLimits{});
    EXPECT_EQ(check.bytes, c.bytes);
    EXPECT_EQ(check.bytes, Utf8ToAnsi(c.text).size());  // the engine's count
    EXPECT_EQ(check.kind, c.kind);
    EXPECT_EQ(check.problems.size(), c.problems);
  }
}

TEST(CheckTextTest, LimitsAreChangeable) {
  const TextLimits limits{80, 1000};
  EXPECT_EQ(CheckText(std::string(81, 'a'), 0, limits).kind, MessageKind::kLms);
  EXPECT_EQ(CheckText(std::string(1001, 'a'), 0, limits).problems.size(), 1u);
}

TEST(CheckTextTest, CharactersCp949CannotHoldAreNamedWithTheirPlace) {
  const TextCheck check = CheckText("안녕 😀\n세계 ✓ 한", 0, TextLimits{});
  ASSERT_EQ(check.unencodable.size(), 2u);
  EXPECT_EQ(check.unencodable[0].character, "😀");
  EXPECT_EQ(check.unencodable[0].line, 1);
  EXPECT_EQ(check.unencodable[0].column, 4);
  EXPECT_EQ(check.unencodable[1].character, "✓");
  EXPECT_EQ(check.unencodable[1].line, 2);
  EXPECT_EQ(check.unencodable[1].column, 4);
  EXPECT_EQ(check.problems.size(), 2u);
  // Korean, Hanja and the symbols CP949 has are fine.
  EXPECT_TRUE(CheckText("한글 漢字 ※ ★ ①", 0, TextLimits{}).problems.empty());
}

TEST(EscapeUiTextTest, TheEngineDecodesWhatIsEncoded) {
  for (const char* text : {"a<b>c", "`quoted`", "&lt; as typed", "<<>>``", "plain"}) {
    SCOPED_TRACE(text);
    const std::string escaped = EscapeUiText(text);
    EXPECT_EQ(escaped.find_first_of("<>`"), std::string::npos);
    if (std::string_view(text).find('&') == std::string_view::npos) {
      EXPECT_EQ(DecodeUiText(escaped), text);
    }
  }
}

}  // namespace
}  // namespace parley
