#include "qx/send_progress.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

TEST(ProgressTextTest, CountsRateAndTimeLeft) {
  struct Case {
    int64_t total;
    int64_t sent;
    double elapsed;
    const char* text;
  } cases[] = {
      {20000, 0, 0.0, "sent 0 / 20,000 (0%), -/s, - left"},
      {20000, 0, 3.0, "sent 0 / 20,000 (0%), -/s, - left"},
      {20000, 1500, 2.0, "sent 1,500 / 20,000 (7%), 750/s, 0:25 left"},
      {100000, 1000, 10.0, "sent 1,000 / 100,000 (1%), 100/s, 16:30 left"},
      {999999, 1, 1.0, "sent 1 / 999,999 (0%), 1/s, 277:46:38 left"},
      {50, 50, 0.5, "sent 50 / 50 (100%), 100/s, 0:00 left"},
      // More sent than the header's count (a source that grew): never past 100 %.
      {50, 60, 1.0, "sent 50 / 50 (100%), 50/s, 0:00 left"},
      // No total yet (the header is not written): counts only.
      {0, 0, 1.0, "sent 0 / 0 (0%), -/s, - left"},
  };
  for (const Case& c : cases) {
    EngineState state;
    state.total = c.total;
    state.sent = c.sent;
    EXPECT_EQ(ProgressText(state, c.elapsed, Language::kEnglish), c.text) << c.sent;
  }
  EngineState state;
  state.total = 20000;
  state.sent = 1500;
  EXPECT_EQ(ProgressText(state, 2.0, Language::kKorean),
            "1,500 / 20,000건 전송 (7%), 초당 750건, 남은 시간 0:25");
}

TEST(ShowProgressTest, AutoFollowsTheTerminal) {
  EXPECT_TRUE(ShowProgress("auto", true));
  EXPECT_FALSE(ShowProgress("auto", false));
  EXPECT_TRUE(ShowProgress("always", false));
  EXPECT_FALSE(ShowProgress("never", true));
}

}  // namespace
}  // namespace parley
