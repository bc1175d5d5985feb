#include "client/send_rules.h"

#include <ctime>

#include <gtest/gtest.h>

namespace parley {
namespace {

// 2026-12-11 at hh:mm in Korea (UTC+9), as Unix seconds.
int64_t KoreanTime(int hour, int minute) {
  std::tm tm{};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 11;
  tm.tm_mday = 11;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  return static_cast<int64_t>(timegm(&tm)) - 9 * 3600;
}

std::vector<Msg> Codes(const std::vector<Verdict>& verdicts) {
  std::vector<Msg> codes;
  for (const Verdict& v : verdicts) codes.push_back(v.code);
  return codes;
}

// The page and qx refuse what the engine would: the marker and its look-alikes, the business
// name after it, the free opt-out line, and the night hours in Korean time at their boundaries.
TEST(SendRulesTest, AdvertisingTextsAndHours) {
  RulesData rules;
  rules.business_name = "파리상회";
  rules.optout_number = "0801234567";
  const std::string footer = "\n무료수신거부 080-123-4567";
  const int64_t noon = KoreanTime(12, 0);
  struct Case {
    std::string text;
    std::vector<Msg> codes;
  } texts[] = {
      {"(광고)파리상회 봄 세일" + footer, {}},
      {"(광고) 파리상회 봄 세일\n무료거부 0801234567", {}},
      {"[광고]파리상회 봄 세일" + footer, {Msg::kAdNoMarker}},
      {"(광 고)파리상회 봄 세일" + footer, {Msg::kAdNoMarker}},
      {"(광.고)파리상회 봄 세일" + footer, {Msg::kAdNoMarker}},
      {" (광고)파리상회 봄 세일" + footer, {Msg::kAdNoMarker}},
      {"(광고)봄 세일" + footer, {Msg::kAdNoNameAfterMarker}},
      {"(광고)파리상회 봄 세일", {Msg::kAdNoFooter}},
      {"(광고)파리상회 봄 세일\n무료수신거부 02-123-4567", {Msg::kAdFooterNotFree}},
      {"(광고)파리상회 봄 세일\n무료수신거부 080-999-9999", {Msg::kAdFooterNotSetting}},
      {"(광고)파리상회 봄 세일\n수신거부 080-123-4567", {Msg::kAdNoFooter}},
  };
  for (const Case& c : texts) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Codes(CheckSendRules(rules, true, false, c.text, "", "", noon)), c.codes);
    // An ordinary send is no advertising: its text is free.
    EXPECT_TRUE(CheckSendRules(rules, false, false, c.text, "", "", noon).empty());
  }
  EXPECT_EQ(Codes(CheckSendRules({}, true, false, "(광고)x" + footer, "", "", noon)),
            std::vector<Msg>{Msg::kAdNoBusinessName});

  const std::string ok = "(광고)파리상회 안내" + footer;
  struct Hour {
    int hour, minute;
    bool night;
  } hours[] = {{20, 59, false}, {21, 0, true}, {23, 30, true}, {7, 59, true}, {8, 0, false}};
  for (const Hour& h : hours) {
    SCOPED_TRACE(std::to_string(h.hour) + ":" + std::to_string(h.minute));
    const auto now = CheckSendRules(rules, true, false, ok, "", "", KoreanTime(h.hour, h.minute));
    EXPECT_EQ(Codes(now), h.night ? std::vector<Msg>{Msg::kAdNightNow} : std::vector<Msg>{});
    char reserve[13];
    std::snprintf(reserve, sizeof reserve, "20261212%02d%02d", h.hour, h.minute);
    const auto reserved = CheckSendRules(rules, true, false, ok, reserve, "", noon);
    EXPECT_EQ(Codes(reserved),
              h.night ? std::vector<Msg>{Msg::kAdNightReserved} : std::vector<Msg>{});
    // The recipients' night consent lifts it.
    EXPECT_TRUE(
        CheckSendRules(rules, true, true, ok, reserve, "", KoreanTime(h.hour, h.minute)).empty());
  }
}

TEST(SendRulesTest, RegisteredCallbacksInsertionAndCost) {
  RulesData rules;
  EXPECT_TRUE(CheckSendRules(rules, false, false, "x", "", "021234567", 0).empty())
      << "none registered: any callback";
  rules.callbacks = {"021234567", "15881234"};
  EXPECT_TRUE(CheckSendRules(rules, false, false, "x", "", "15881234", 0).empty());
  EXPECT_EQ(Codes(CheckSendRules(rules, false, false, "x", "", "0311234567", 0)),
            std::vector<Msg>{Msg::kCallbackNotRegistered});

  rules.business_name = "파리상회";
  rules.optout_number = "0801234567";
  EXPECT_EQ(WithAdvertising("봄 세일", rules),
            "(광고)파리상회\n봄 세일\n무료수신거부 080-123-4567");
  // Inserted once: a text that has them keeps them as they are.
  const std::string marked = WithAdvertising("봄 세일", rules);
  EXPECT_EQ(WithAdvertising(marked, rules), marked);
  EXPECT_EQ(WithoutAdvertising(marked), "봄 세일");

  AccountInfo account{"qxuser", "일반회원", "125000.", "10000", "3333", "1000"};
  const CostEstimate sms = EstimateCost(account, MessageKind::kSms, 3);
  EXPECT_TRUE(sms.known);
  EXPECT_EQ(sms.total, 38);  // 12.5 won each, rounded up
  EXPECT_FALSE(sms.over_balance);
  EXPECT_TRUE(EstimateCost(account, MessageKind::kMms, 1001).over_balance);
  EXPECT_EQ(
      Word(Language::kKorean, CostVerdict(EstimateCost(account, MessageKind::kLms, 4000), 4000)),
      "예상 비용 약 150,016원이 잔액 125,000원보다 많아 보낼 수 없습니다");
  EXPECT_FALSE(EstimateCost({"", "", "", "", "", ""}, MessageKind::kSms, 1).known);
}

}  // namespace
}  // namespace parley
