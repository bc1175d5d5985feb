#include "send/send_result.h"

#include <cstdio>

#include "text/text_codes.h"

namespace parley {

namespace {

// format (a printf format with one %d) with count.
template <size_t N>
std::string CountText(const char (&format)[N], int64_t count) {
  char text[N + 24];
  std::snprintf(text, sizeof(text), format, static_cast<int>(count));
  return text;
}

}  // namespace

std::string SentText(int64_t count) { return CountText(kSentFormat, count); }

std::string CancelledText(int64_t count) { return CountText(kCancelledFormat, count); }

std::string SentReport(std::string_view job_id, int64_t count, std::string_view title,
                       std::string_view text, std::string_view reserve_date,
                       std::string_view from_number) {
  const std::string total = std::to_string(count);
  return FormBody({{"jobid", job_id},
                   {"type", "SMS"},
                   {"totcnt", total},
                   {"title", title},
                   {"msg", text},
                   {"resflag", reserve_date.empty() ? "1" : "2"},
                   {"reserdate", reserve_date},
                   {"fromnumber", from_number}});
}

}  // namespace parley
