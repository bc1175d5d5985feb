// Reservation times as a person writes them, checked against a clock the caller passes in and
// converted to the 12-byte form the engine passes on ("YYYYMMDDHHMM").
//
// Accepted: "YYYY-MM-DD HH:MM", "YYYY-MM-DDTHH:MM" and "YYYYMMDDHHMM", blanks around them
// ignored; an empty text means "send now" (an empty engine field). Refused, with a reason: any
// other form ("내일 9시", seconds, two-digit years), a date or time that does not exist, and a
// time that is not after the current minute.
#ifndef PARLEY_CLIENT_RESERVATION_H_
#define PARLEY_CLIENT_RESERVATION_H_

#include <optional>
#include <string>
#include <string_view>

#include "client/messages.h"
#include "client/verdict.h"

namespace parley {

// A local date and time to the minute.
struct Minute {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
};

// The engine's field ("" for now, else "YYYYMMDDHHMM"), or the reason in `problem`.
struct ReservationResult {
  std::string engine_text;
  std::optional<Verdict> problem;
  bool ok() const { return !problem; }
};

ReservationResult ParseReservation(std::string_view text, const Minute& now);

// The local time now, for ParseReservation.
Minute LocalMinuteNow();

}  // namespace parley

#endif  // PARLEY_CLIENT_RESERVATION_H_
