#include "send/sending_rules.h"

#include <gtest/gtest.h>

#include "text/cp949.h"

namespace parley {
namespace {

constexpr int64_t kNewYearUtc = 1767225600;  // 2026-01-01 00:00 UTC, 09:00 in Korea

TEST(SendingRulesTest, KoreanNightHoursComeFromUtcAtTheirBoundaries) {
  struct Case {
    int64_t unix;
    const char* reserve;
    bool consent;
    bool night;
  };
  const Case cases[] = {
      {kNewYearUtc + 11 * 3600 + 59 * 60, "", false, false},    // 20:59
      {kNewYearUtc + 12 * 3600, "", false, true},               // 21:00
      {kNewYearUtc - 3600 - 60, "", false, true},               // 07:59
      {kNewYearUtc - 3600, "", false, false},                   // 08:00
      {kNewYearUtc + 14 * 3600, "", true, false},               // 23:00, consented
      {kNewYearUtc + 14 * 3600, "202601021200", false, false},  // reserved for noon
      {kNewYearUtc, "202601012100", false, true},
      {kNewYearUtc, "2026-01-01 20:59", false, false},
      {kNewYearUtc, "2026-01-01 25:00", false, true},  // cannot be read
      {kNewYearUtc, "tomorrow", false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(!NightFault(c.unix, c.reserve, c.consent).empty(), c.night)
        << c.unix << " " << c.reserve;
  }
  EXPECT_EQ(KoreanMinuteOfDay(-1), 9 * 60 - 1);  // before 1970 still counts from midnight
}

TEST(SendingRulesTest, TheOptOutListCoversAdvertisingOrEverySend) {
  SendingRules rules;
  rules.opted_out = {"01011112222"};
  EXPECT_TRUE(LeavesOut(rules, {true, false}, "01011112222"));
  EXPECT_FALSE(LeavesOut(rules, {false, false}, "01011112222"));
  EXPECT_FALSE(LeavesOut(rules, {true, false}, "01033334444"));
  rules.optout_applies_all = true;
  EXPECT_TRUE(LeavesOut(rules, {false, false}, "01011112222"));
  EXPECT_TRUE(CallbackFault(rules, "0212345678").empty());
  rules.callbacks = {"021234567"};
  EXPECT_TRUE(CallbackFault(rules, "021234567").empty());
  EXPECT_FALSE(CallbackFault(rules, "0212345678").empty());
}

TEST(SendingRulesTest, AFooterIsFoundWhereverItStandsAndTheSetNumberWins) {
  SendingRules rules;
  rules.business_name = Utf8ToAnsi("파란상사");
  struct Case {
    const char* text;
    bool keeps;
  };
  const Case cases[] = {
      {"(광고)파란상사 무료거부 080-123-4567 무료수신거부 02-111-2222", true},
      {"(광고)파란상사 무료수신거부(0801234567)", true},
      {"(광고)파란상사 무료수신거부 080", false},
      {"(광고)파란상사무료거부0801234567", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AdTextFault(rules, Utf8ToAnsi(c.text)).empty(), c.keeps) << c.text;
  }
  rules.optout_number = "0809998888";
  EXPECT_FALSE(AdTextFault(rules, Utf8ToAnsi("(광고)파란상사 무료거부 080-123-4567")).empty());
  EXPECT_TRUE(
      AdTextFault(rules, Utf8ToAnsi("(광고)파란상사 무료거부 080-123-4567, 무료거부 080-999-8888"))
          .empty());
}

}  // namespace
}  // namespace parley
