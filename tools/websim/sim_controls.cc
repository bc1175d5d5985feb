#include "websim/sim_controls.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace parley::websim {
namespace {

constexpr double kMaxStallSeconds = 3600;
constexpr int kMaxCount = 1000000;

HttpReply Error(std::string reason) { return HttpReply{400, "ERROR " + reason, {}}; }

// The value of `key` as a count from 1 to kMaxCount; 1 when it is absent.
std::optional<int> CountOf(const std::map<std::string, std::string>& query) {
  auto it = query.find("count");
  if (it == query.end()) return 1;
  int n = 0;
  const std::string& text = it->second;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > kMaxCount) {
    return std::nullopt;
  }
  return n;
}

}  // namespace

bool SimControls::IsControl(const HttpRequest& request) {
  return request.path().starts_with("/_sim/");
}

HttpReply SimControls::Handle(const HttpRequest& request, WebService& service) {
  std::map<std::string, std::string> query = ParseForm(request.query());
  std::string_view path = request.path();
  if (path == "/_sim/reset") {
    *this = SimControls();
    service.Reset();
    return HttpReply{200, "OK", {}};
  }
  if (path == "/_sim/stall") {
    std::optional<int> count = CountOf(query);
    if (!count) return Error("count must be a number from 1 to 1000000");
    double seconds = 60;
    if (auto it = query.find("seconds"); it != query.end()) {
      char* end = nullptr;
      seconds = std::strtod(it->second.c_str(), &end);
      if (it->second.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0 ||
          seconds > kMaxStallSeconds) {
        return Error("seconds must be a number from 0 to 3600");
      }
    }
    stall_count_ = *count;
    stall_ = std::chrono::milliseconds(std::llround(seconds * 1000));
    return HttpReply{200, "OK", {}};
  }
  if (path == "/_sim/fail") {
    std::optional<int> count = CountOf(query);
    if (!count) return Error("count must be a number from 1 to 1000000");
    std::string mode = query.count("mode") ? query["mode"] : "";
    FailMode fail_mode = mode == "close"     ? FailMode::kClose
                         : mode == "500"     ? FailMode::kServerError
                         : mode == "garbage" ? FailMode::kGarbage
                                             : FailMode::kNone;
    if (fail_mode == FailMode::kNone) return Error("mode must be close, 500 or garbage");
    fail_count_ = *count;
    fail_mode_ = fail_mode;
    return HttpReply{200, "OK", {}};
  }
  return HttpReply{404, "ERROR unknown control", {}};
}

std::optional<std::chrono::milliseconds> SimControls::TakeStall() {
  if (stall_count_ == 0) return std::nullopt;
  --stall_count_;
  return stall_;
}

FailMode SimControls::TakeFail() {
  if (fail_count_ == 0) return FailMode::kNone;
  --fail_count_;
  return fail_mode_;
}

}  // namespace parley::websim
