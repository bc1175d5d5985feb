#include "protocol/status_messages.h"

#include <charconv>
#include <vector>

#include "protocol/markup.h"

namespace parley::protocol {
namespace {

// body split at each "<QX>" (a backtick is an ordinary byte here).
std::vector<std::string_view> SplitAtSeparators(std::string_view body) {
  std::vector<std::string_view> fields;
  for (;;) {
    const size_t sep = body.find(kFieldSep);
    fields.push_back(body.substr(0, sep));
    if (sep == std::string_view::npos) return fields;
    body.remove_prefix(sep + kFieldSep.size());
  }
}

int64_t Decimal(std::string_view text) {
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

}  // namespace

std::optional<StateReply> StateReply::Parse(std::string_view body) {
  const std::vector<std::string_view> f = SplitAtSeparators(body);
  if (f.size() != kFields) return std::nullopt;
  StateReply r;
  r.version = f[0];
  r.home = f[1];
  r.address_book = f[2];
  r.logged_in = f[3] == "1";
  r.login_id = f[4];
  r.job_number = Decimal(f[5]);
  r.command = f[6];
  r.kind = f[7];
  r.state = f[8];
  r.total = Decimal(f[9]);
  r.sent = Decimal(f[10]);
  r.acknowledged = Decimal(f[11]);
  r.job_id = f[12];
  return r;
}

std::string StateReply::Build() const {
  const std::string number = std::to_string(job_number);
  const std::string total_text = std::to_string(total);
  const std::string sent_text = std::to_string(sent);
  const std::string acknowledged_text = std::to_string(acknowledged);
  return JoinFields({version, home, address_book, logged_in ? "1" : "0", login_id, number, command,
                     kind, state, total_text, sent_text, acknowledged_text, job_id});
}

std::optional<CancelReply> CancelReply::Parse(std::string_view body) {
  if (body == "1") return CancelReply{true};
  if (body == "0") return CancelReply{false};
  return std::nullopt;
}

}  // namespace parley::protocol
