#include "client/reservation.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

TEST(ParseReservationTest, AcceptedFormsPastTimesAndTheRest) {
  const Minute now{2026, 12, 10, 17, 30};
  struct Case {
    const char* text;
    const char* engine;  // nullptr when refused
    Msg reason;
  } cases[] = {
      {"", "", {}},
      {"   ", "", {}},
      {"2026-12-24 09:00", "202612240900", {}},
      {"2026-12-24T09:00", "202612240900", {}},
      {"202612240900", "202612240900", {}},
      {" 2026-12-24 09:00 ", "202612240900", {}},
      {"2026-12-10 17:31", "202612101731", {}},  // the next minute
      {"2028-02-29 00:00", "202802290000", {}},  // a leap day
      {"2027-01-01 00:00", "202701010000", {}},
      {"2026-12-10 17:30", nullptr, Msg::kReservePast},  // this minute
      {"2026-12-10 17:29", nullptr, Msg::kReservePast},
      {"2025-12-24 09:00", nullptr, Msg::kReservePast},
      {"202512240900", nullptr, Msg::kReservePast},
      {"2027-02-29 09:00", nullptr, Msg::kReserveInvalidDate},
      {"2026-13-01 09:00", nullptr, Msg::kReserveInvalidDate},
      {"2026-12-32 09:00", nullptr, Msg::kReserveInvalidDate},
      {"2026-12-24 24:00", nullptr, Msg::kReserveInvalidDate},
      {"2026-12-24 09:60", nullptr, Msg::kReserveInvalidDate},
      {"202600000900", nullptr, Msg::kReserveInvalidDate},
      {"내일 9시", nullptr, Msg::kReserveFormat},
      {"tomorrow", nullptr, Msg::kReserveFormat},
      {"2026-12-24 9:00", nullptr, Msg::kReserveFormat},
      {"2026-12-24 09:00:00", nullptr, Msg::kReserveFormat},
      {"26-12-24 09:00", nullptr, Msg::kReserveFormat},
      {"2026/12/24 09:00", nullptr, Msg::kReserveFormat},
      {"20261224", nullptr, Msg::kReserveFormat},
      {"2026122409000", nullptr, Msg::kReserveFormat},
      {"2026-12-2a 09:00", nullptr, Msg::kReserveFormat},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ReservationResult r = ParseReservation(c.text, now);
    if (c.engine != nullptr) {
      EXPECT_TRUE(r.ok()) << Word(Language::kEnglish, *r.problem);
      EXPECT_EQ(r.engine_text, c.engine);
    } else {
      EXPECT_FALSE(r.ok());
      EXPECT_EQ(r.engine_text, "");
      // The reason is the catalogue's message for that text.
      const std::string_view t = std::string_view(c.text);
      ASSERT_TRUE(r.problem);
      EXPECT_EQ(r.problem->field, kFieldReserve);
      EXPECT_EQ(Word(Language::kEnglish, *r.problem),
                Text(Language::kEnglish, c.reason,
                     {t.substr(t.find_first_not_of(' '),
                               t.find_last_not_of(' ') - t.find_first_not_of(' ') + 1)}));
    }
  }
}

}  // namespace
}  // namespace parley
