#include "numbers/korean_number.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

// The callback format of KISA's sender-number rules: digits once the hyphens go, 8 to 11 of
// them; landlines with their area code, 15xx/16xx/18xx numbers of 8 digits without an extension,
// mobile numbers. Every accepted callback is 8 to 11 digits long.
TEST(KoreanNumberTest, CallbacksFollowTheSenderNumberFormat) {
  struct Case {
    const char* text;
    const char* digits;  // empty: refused as no callback
  };
  const Case cases[] = {
      {"1588-1234", "15881234"},
      {"1588-1234-1", ""},  // an extension
      {"1588123", ""},
      {"02-123-4567", "021234567"},
      {"123-4567", ""},
      {"0212345", ""},  // no area code, or too short
      {"051-1234-5678", "05112345678"},
      {"051-12345-678", "05112345678"},
      {"0511234567890", ""},
      {"011-123-4567", "0111234567"},
      {"019-1234-5678", "01912345678"},
      {"010-123-4567", ""},
      {"080-1234-5678", "08012345678"},
      {"1234-5678", ""},
  };
  for (const Case& c : cases) {
    const CheckedNumber checked = CheckKoreanNumber(c.text, NumberUse::kCallback);
    EXPECT_EQ(checked.digits, c.digits) << c.text;
    if (checked.ok()) {
      EXPECT_GE(checked.digits.size(), 8u) << c.text;
      EXPECT_LE(checked.digits.size(), 11u) << c.text;
    }
  }
}

}  // namespace
}  // namespace parley
