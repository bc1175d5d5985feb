// The rules of an advertising message (정보통신망법 제50조) as typed answers: its text's marker
// and free opt-out line, and the night hours in Korean time. The engine and the client core both
// check with these, and each words the answer in its own way. Texts are CP949.
#ifndef PARLEY_RULES_ADVERT_RULES_H_
#define PARLEY_RULES_ADVERT_RULES_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace parley {

// What is wrong with an advertising text.
enum class AdProblem {
  kNone,
  kNoBusinessName,     // no business name is set, so no text can be right
  kNoMarker,           // it does not begin with exactly "(광고)" (look-alikes included)
  kNoNameAfterMarker,  // the business name does not follow the marker (one space allowed)
  kNoFooter,           // no "무료수신거부" or "무료거부" line with a number
  kFooterNotFree,      // the opt-out number is not an 080 number
  kFooterNotSetting,   // the opt-out number is not the one set
};

// The text must begin with exactly "(광고)", then at most one space, then the business name; and
// it must hold an opt-out line: "무료수신거부" or "무료거부", then (after spaces, a colon or a
// parenthesis) an 080 number, hyphens optional, which is optout_digits when one is set.
AdProblem CheckAdText(std::string_view business_name, std::string_view optout_digits,
                      std::string_view text);

// The marker every advertising text begins with, in CP949.
std::string AdMarker();

// Korean time (UTC+9; Korea has kept no daylight saving time since 1988) of a Unix time, as
// minutes since midnight.
int KoreanMinuteOfDay(int64_t unix_seconds);

// True for a minute of the day in the night hours of advertising, 21:00 to 07:59.
bool IsNightMinute(int minute_of_day);

// When an advertising send would go, and whether that is in the night hours: a reservation
// (12 digits YYYYMMDDHHMM, Korean time; hyphens, colons, a "T" and spaces between are ignored) or,
// without one, the Korean time of now_unix. Consent of every recipient lifts the rule.
struct NightAnswer {
  bool night = false;       // refused: in the night hours without consent
  bool unreadable = false;  // refused: a reservation whose time cannot be read
  bool reserved = false;    // the time is the reservation's
  int minute = 0;           // the minute of the day checked
};
NightAnswer CheckNight(int64_t now_unix, std::string_view reserve, bool night_consent);

}  // namespace parley

#endif  // PARLEY_RULES_ADVERT_RULES_H_
