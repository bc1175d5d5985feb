#include "client/phone_number.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

struct NumberCase {
  const char* text;
  NumberUse use;
  const char* number;  // "" when refused
  Msg reason;          // when refused
};

constexpr NumberUse R = NumberUse::kRecipient;
constexpr NumberUse C = NumberUse::kCallback;

TEST(NormalizeNumberTest, AcceptsWhatPeopleTypeAndRefusesTheRest) {
  const NumberCase cases[] = {
      {"01012345678", R, "01012345678", {}},
      {"010-1234-5678", R, "01012345678", {}},
      {"010.1234.5678", R, "01012345678", {}},
      {"010 1234 5678", R, "01012345678", {}},
      {"(010) 1234-5678", R, "01012345678", {}},
      {"  010-1234-5678 ", R, "01012345678", {}},
      {"+82 10-1234-5678", R, "01012345678", {}},
      {"+82 (0)10 1234 5678", R, "01012345678", {}},
      {"821012345678", R, "01012345678", {}},
      {"1012345678", R, "01012345678", {}},    // a spreadsheet dropped the 0
      {"1012345678.0", R, "01012345678", {}},  // and stored it as a float
      {"0111234567", R, "0111234567", {}},
      {"01612345678", R, "01612345678", {}},
      {"111234567", R, "0111234567", {}},
      {"0101234567", R, "", Msg::kNumberNotMobile},    // 010 takes eight digits
      {"010123456789", R, "", Msg::kNumberNotMobile},  // too long
      {"010", R, "", Msg::kNumberNotMobile},
      {"5555", R, "", Msg::kNumberNotMobile},
      {"0212345678", R, "", Msg::kNumberNotMobile},  // a landline cannot get an SMS
      {"15881234", R, "", Msg::kNumberNotMobile},
      {"01512345678", R, "", Msg::kNumberNotMobile},
      {"홍길동", R, "", Msg::kNumberNotDigits},
      {"010-1234-567O", R, "", Msg::kNumberNotDigits},  // a letter O
      {"+1 212 555 0100", R, "", Msg::kNumberNotDigits},
      {"010/1234/5678", R, "", Msg::kNumberNotDigits},
      {"", R, "", Msg::kNumberEmpty},
      {"   ", R, "", Msg::kNumberEmpty},
      {"-", R, "", Msg::kNumberNotDigits},
      {"02-123-4567", C, "021234567", {}},
      {"02-1234-5678", C, "0212345678", {}},
      {"031-123-4567", C, "0311234567", {}},
      {"064-1234-5678", C, "06412345678", {}},
      {"070-1234-5678", C, "07012345678", {}},
      {"080-123-4567", C, "0801234567", {}},
      {"1588-1234", C, "15881234", {}},
      {"1644-1234", C, "16441234", {}},
      {"1899-1234", C, "18991234", {}},
      {"010-1234-5678", C, "01012345678", {}},
      {"212345678", C, "0212345678", {}},  // the 0 of 02 dropped
      {"+82 2 1234 5678", C, "0212345678", {}},
      {"1700-1234", C, "", Msg::kNumberNotCallback},
      {"035-123-4567", C, "", Msg::kNumberNotCallback},
      {"02-12-345", C, "", Msg::kNumberNotCallback},
      {"1588-12345", C, "", Msg::kNumberNotCallback},
      {"", C, "", Msg::kNumberEmpty},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.text);
    const NumberResult result = NormalizeNumber(c.text, c.use);
    EXPECT_EQ(result.number, c.number);
    if (*c.number == '\0') {
      EXPECT_EQ(result.reason, c.reason);
    }
  }
}

TEST(SplitNumberListTest, SeparatorsAndBlanks) {
  struct Case {
    const char* text;
    std::vector<std::string> items;
  } cases[] = {
      {"010-1234-5678,01098765432,010 5555 1212",
       {"010-1234-5678", "01098765432", "010 5555 1212"}},
      {",,", {}},
      {" , ; \n", {}},
      {"01012345678;01098765432", {"01012345678", "01098765432"}},
      {"01012345678\r\n01098765432\n\n", {"01012345678", "01098765432"}},
      {"01012345678\t홍길동", {"01012345678", "홍길동"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> got;
    for (const ListItem& item : SplitNumberList(c.text)) got.push_back(item.text);
    EXPECT_EQ(got, c.items);
  }
}

TEST(SplitNumberListTest, ItemsKnowTheirLineAndPlace) {
  const std::vector<ListItem> items = SplitNumberList("a,,b\r\nc\n\nd");
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].line, 1);
  EXPECT_EQ(items[0].item, 1);
  EXPECT_EQ(items[1].line, 1);
  EXPECT_EQ(items[1].item, 3);
  EXPECT_EQ(items[2].line, 2);
  EXPECT_EQ(items[3].line, 4);
}

TEST(CheckRecipientsTest, DuplicatesAfterNormalisationAndRefusals) {
  const std::vector<ListItem> items =
      SplitNumberList("010-1234-5678\n01012345678\n+82 10 1234 5678\n홍길동\n01098765432");
  const RecipientList list = CheckRecipients(items, false);
  EXPECT_EQ(list.numbers, (std::vector<std::string>{"01012345678", "01098765432"}));
  EXPECT_EQ(list.duplicates_removed, 2u);
  ASSERT_EQ(list.refused.size(), 1u);
  EXPECT_EQ(list.refused[0].item.line, 4);
  const Verdict& refused = list.refused[0].verdict;
  EXPECT_EQ(refused.code, Msg::kNumberNotDigits);
  EXPECT_EQ((std::tuple(refused.field, refused.item, refused.line, refused.position)),
            (std::tuple(std::string(kFieldTo), std::string("홍길동"), 4, 1)));
  EXPECT_EQ(Word(Language::kEnglish, refused), "\"홍길동\" is not a phone number");

  const RecipientList kept = CheckRecipients(items, true);
  EXPECT_EQ(kept.numbers.size(), 4u);
  EXPECT_EQ(kept.duplicates_removed, 0u);
}

}  // namespace
}  // namespace parley
