#include "qx/send_progress.h"

#include <cstdint>
#include <cstdio>

namespace parley {
namespace {

std::string WithSeparators(int64_t value) { return GroupThousands(std::to_string(value)); }

// "m:ss", or "h:mm:ss" from an hour on.
std::string Duration(int64_t seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  }
  return text;
}

}  // namespace

bool ShowProgress(std::string_view mode, bool stdout_is_terminal) {
  if (mode == "always") return true;
  if (mode == "never") return false;
  return stdout_is_terminal;
}

std::string ProgressText(const EngineState& state, double elapsed_seconds, Language language) {
  const int64_t total = state.total > 0 ? state.total : 0;
  const int64_t sent = state.sent < total || total == 0 ? state.sent : total;
  const int64_t percent = total > 0 ? sent * 100 / total : 0;
  std::string rate = "-";
  std::string left = "-";
  if (sent > 0 && elapsed_seconds > 0) {
    const double per_second = static_cast<double>(sent) / elapsed_seconds;
    rate = WithSeparators(static_cast<int64_t>(per_second + 0.5));
    left = Duration(static_cast<int64_t>(static_cast<double>(total - sent) / per_second + 0.5));
  }
  return Text(language, Msg::kProgress,
              {WithSeparators(sent), WithSeparators(total), std::to_string(percent), rate, left});
}

}  // namespace parley
