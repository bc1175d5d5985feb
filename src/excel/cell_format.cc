#include "excel/cell_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace parley {

std::string FormatNumber(double value) {
  if (value == 0) return "0";
  if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "INF" : "-INF");
  char buffer[64];
  if (std::trunc(value) == value && std::fabs(value) < 1e17) {
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value));
    return std::string(buffer, end);
  }
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, end);
}

namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian), inverted.
void CivilFromDays(long long z, int* year, unsigned* month, unsigned* day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *day = doy - (153 * mp + 2) / 5 + 1;
  *month = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(y + (*month <= 2));
}

}  // namespace

std::string FormatDate(double serial, bool date1904) {
  if (!std::isfinite(serial) || serial < 0 || serial > 2958466) return FormatNumber(serial);
  long long seconds = std::llround(serial * 86400.0);
  long long days = seconds / 86400;
  long long time = seconds % 86400;
  char buffer[40];
  if (days == 0 && !date1904) {
    // A time of day without a date, as a time cell holds it.
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", time / 3600, time / 60 % 60,
                  time % 60);
    return buffer;
  }
  int year = 0;
  unsigned month = 0, day = 0;
  if (!date1904 && days == 60) {
    year = 1900, month = 2, day = 29;  // the day Excel counts that never was
  } else {
    // Serial 1 is 1900-01-01 (1904 system: serial 0 is 1904-01-01); from serial 61 on, the
    // phantom day shifts the count by one.
    long long unix_days;
    if (date1904) {
      unix_days = days - 24107;  // 1904-01-01 is day -24107
    } else {
      unix_days = days - 25568 - (days > 60 ? 1 : 0);  // 1900-01-01 is day -25567
    }
    CivilFromDays(unix_days, &year, &month, &day);
  }
  if (time == 0) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", year, month, day);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02lld:%02lld:%02lld", year, month, day,
                  time / 3600, time / 60 % 60, time % 60);
  }
  return buffer;
}

bool IsDateFormat(int format_id, const std::string& code) {
  if ((format_id >= 14 && format_id <= 22) || (format_id >= 45 && format_id <= 47)) return true;
  if (format_id < 164 || code.empty()) return false;
  bool in_quotes = false;
  for (size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (in_quotes) {
      if (c == '"') in_quotes = false;
      continue;
    }
    switch (c) {
      case '"':
        in_quotes = true;
        break;
      case '\\':
      case '_':
      case '*':
        ++i;  // the next character is literal or a fill/space width
        break;
      case '[': {
        size_t close = code.find(']', i);
        if (close == std::string::npos) return false;
        std::string inside = code.substr(i + 1, close - i - 1);
        // [h], [mm], [ss]: elapsed time, still a time format; a colour ([Magenta]) or a
        // condition is not.
        const bool elapsed =
            !inside.empty() && inside.find_first_not_of("hHmMsS") == std::string::npos;
        if (elapsed) return true;
        i = close;
        break;
      }
      case ';':
        return false;  // only the first section decides
      default:
        switch (c | 0x20) {
          case 'y':
          case 'd':
          case 'h':
          case 's':
          case 'm':
            return true;
        }
    }
  }
  return false;
}

bool IsDateStyle(int format_id, const std::string& code) {
  constexpr int kFirstCustomFormat = 164;
  if (!code.empty()) {
    return IsDateFormat(format_id < kFirstCustomFormat && IsDateFormat(format_id, "")
                            ? format_id
                            : kFirstCustomFormat,
                        code);
  }
  return IsDateFormat(format_id, code) || (format_id >= 27 && format_id <= 36) ||
         (format_id >= 50 && format_id <= 58);
}

}  // namespace parley
