#include "client/reservation.h"

#include <cstdio>
#include <ctime>
#include <tuple>

namespace parley {
namespace {

bool Digits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

int Number(std::string_view digits) {
  int n = 0;
  for (char c : digits) n = n * 10 + (c - '0');
  return n;
}

int DaysIn(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// The twelve digits of the accepted forms, or an empty text.
std::string TwelveDigits(std::string_view t) {
  if (t.size() == 12 && Digits(t)) return std::string(t);
  // "YYYY-MM-DD HH:MM" or with "T".
  if (t.size() != 16 || t[4] != '-' || t[7] != '-' || (t[10] != ' ' && t[10] != 'T') ||
      t[13] != ':') {
    return "";
  }
  std::string out;
  for (auto [at, n] : {std::pair{0, 4}, {5, 2}, {8, 2}, {11, 2}, {14, 2}}) {
    const std::string_view part = t.substr(static_cast<size_t>(at), static_cast<size_t>(n));
    if (!Digits(part)) return "";
    out += part;
  }
  return out;
}

}  // namespace

ReservationResult ParseReservation(std::string_view text, const Minute& now) {
  ReservationResult result;
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return result;
  const std::string_view t = text.substr(first, text.find_last_not_of(" \t") - first + 1);
  const std::string digits = TwelveDigits(t);
  if (digits.empty()) {
    result.problem = Verdict{Msg::kReserveFormat, {std::string(t)}, kFieldReserve, std::string(t)};
    return result;
  }
  const std::string_view d = digits;
  const Minute at{Number(d.substr(0, 4)), Number(d.substr(4, 2)), Number(d.substr(6, 2)),
                  Number(d.substr(8, 2)), Number(d.substr(10, 2))};
  if (at.year < 1970 || at.month < 1 || at.month > 12 || at.day < 1 ||
      at.day > DaysIn(at.year, at.month) || at.hour > 23 || at.minute > 59) {
    result.problem =
        Verdict{Msg::kReserveInvalidDate, {std::string(t)}, kFieldReserve, std::string(t)};
    return result;
  }
  if (std::tie(at.year, at.month, at.day, at.hour, at.minute) <=
      std::tie(now.year, now.month, now.day, now.hour, now.minute)) {
    result.problem = Verdict{Msg::kReservePast, {std::string(t)}, kFieldReserve, std::string(t)};
    return result;
  }
  result.engine_text = digits;
  return result;
}

Minute LocalMinuteNow() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min};
}

}  // namespace parley
