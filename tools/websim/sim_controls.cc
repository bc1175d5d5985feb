#include "websim/sim_controls.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace parley::websim {
namespace {

constexpr double kMaxStallSeconds = 3600;
constexpr int kMaxCount = 1000000;
constexpr int kMinStatus = 200;
constexpr int kMaxStatus = 599;
constexpr int64_t kMaxFillerBytes = 64 * 1024 * 1024;

HttpReply Error(std::string reason) { return HttpReply{400, "ERROR " + reason, {}}; }

// The value of `key` as a whole number from min to max; nothing when absent or anything else.
std::optional<int64_t> NumberOf(const std::map<std::string, std::string>& query,
                                const std::string& key, int64_t min, int64_t max) {
  auto it = query.find(key);
  if (it == query.end()) return std::nullopt;
  int64_t n = 0;
  const std::string& text = it->second;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < min || n > max) {
    return std::nullopt;
  }
  return n;
}

// The "count" of a control, from 1 to kMaxCount; 1 when it is absent.
std::optional<int> CountOf(const std::map<std::string, std::string>& query) {
  if (!query.contains("count")) return 1;
  std::optional<int64_t> n = NumberOf(query, "count", 1, kMaxCount);
  if (!n) return std::nullopt;
  return static_cast<int>(*n);
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
    stall_ = {*count, std::chrono::milliseconds(std::llround(seconds * 1000))};
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
    fail_ = {*count, fail_mode};
    return HttpReply{200, "OK", {}};
  }
  if (path == "/_sim/status") {
    std::optional<int> count = CountOf(query);
    if (!count) return Error("count must be a number from 1 to 1000000");
    std::optional<int64_t> code = NumberOf(query, "code", kMinStatus, kMaxStatus);
    if (!code) return Error("code must be a number from 200 to 599");
    status_ = {*count, static_cast<int>(*code)};
    return HttpReply{200, "OK", {}};
  }
  if (path == "/_sim/page") {
    std::optional<int> count = CountOf(query);
    if (!count) return Error("count must be a number from 1 to 1000000");
    std::optional<int64_t> bytes = NumberOf(query, "bytes", 0, kMaxFillerBytes);
    if (!bytes) return Error("bytes must be a number from 0 to 67108864");
    filler_ = {*count, static_cast<size_t>(*bytes)};
    return HttpReply{200, "OK", {}};
  }
  return HttpReply{404, "ERROR unknown control", {}};
}

std::optional<std::chrono::milliseconds> SimControls::TakeStall() { return stall_.Take(); }

FailMode SimControls::TakeFail() { return fail_.Take().value_or(FailMode::kNone); }

std::optional<int> SimControls::TakeStatus() { return status_.Take(); }

std::optional<size_t> SimControls::TakeFiller() { return filler_.Take(); }

}  // namespace parley::websim
