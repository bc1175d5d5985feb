#include "protocol/status_messages.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "protocol/markup.h"
#include "text/text_codes.h"

namespace parley::protocol {
namespace {

// body split at each "<QX>".
std::vector<std::string_view> SplitAtSeparators(std::string_view body) {
  return SplitAt(body, kFieldSep);
}

int64_t Decimal(std::string_view text) {
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

}  // namespace

std::optional<StateReply> StateReply::Parse(std::string_view body) {
  const std::vector<std::string_view> f = SplitAtSeparators(body);
  if (f.size() != kFields && f.size() != kFieldsBeforeJournal) return std::nullopt;
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
  if (f.size() > 13) r.journal_notice = f[13];
  return r;
}

std::string StateReply::Build() const {
  const std::string number = std::to_string(job_number);
  const std::string total_text = std::to_string(total);
  const std::string sent_text = std::to_string(sent);
  const std::string acknowledged_text = std::to_string(acknowledged);
  return JoinFields({version, home, address_book, logged_in ? "1" : "0", login_id, number, command,
                     kind, state, total_text, sent_text, acknowledged_text, job_id,
                     journal_notice});
}

std::optional<CancelReply> CancelReply::Parse(std::string_view body) {
  if (body == "1") return CancelReply{true};
  if (body == "0") return CancelReply{false};
  return std::nullopt;
}

JobListRequest JobListRequest::Parse(std::string_view body) {
  JobListRequest r;
  const int64_t limit = Decimal(body);
  if (limit > 0) r.limit = std::min(limit, kMaxJobs);
  return r;
}

std::string EscapeField(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '%') {
      out += "%25";
    } else if (c == '<') {
      out += "%3C";
    } else {
      out += c;
    }
  }
  return out;
}

std::string UnescapeField(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && text.substr(i + 1, 2) == "25") {
      out += '%';
      i += 2;
    } else if (text[i] == '%' && text.substr(i + 1, 2) == "3C") {
      out += '<';
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::optional<JobListReply> JobListReply::Parse(std::string_view body) {
  JobListReply r;
  while (!body.empty()) {
    const size_t end = body.find(kRowSep);
    const std::vector<std::string_view> f = SplitAtSeparators(body.substr(0, end));
    if (f.size() != JobRow::kFields && f.size() != JobRow::kFieldsBeforeLeftOut) {
      return std::nullopt;
    }
    JobRow row;
    row.id = Decimal(f[0]);
    row.started = Decimal(f[1]);
    row.ended = Decimal(f[2]);
    row.command = f[3];
    row.kind = f[4];
    row.title = UnescapeField(f[5]);
    row.source = UnescapeField(f[6]);
    row.callback = UnescapeField(f[7]);
    row.reserve_date = f[8];
    row.text = UnescapeField(f[9]);
    row.gateway_job_id = UnescapeField(f[10]);
    row.total = Decimal(f[11]);
    row.acknowledged = Decimal(f[12]);
    row.in_doubt = Decimal(f[13]);
    row.not_sent = Decimal(f[14]);
    row.ending = f[15];
    row.ending_at = Decimal(f[16]);
    row.report = f[17];
    row.resend_of = Decimal(f[18]);
    row.resent_as = Decimal(f[19]);
    if (f.size() > 20) row.left_out = Decimal(f[20]);
    r.jobs.push_back(std::move(row));
    if (end == std::string_view::npos) break;
    body.remove_prefix(end + kRowSep.size());
  }
  return r;
}

std::string JobListReply::Build() const {
  std::string body;
  for (const JobRow& j : jobs) {
    if (!body.empty()) body += kRowSep;
    using std::to_string;
    body += JoinFields({to_string(j.id),
                        to_string(j.started),
                        to_string(j.ended),
                        j.command,
                        j.kind,
                        EscapeField(j.title),
                        EscapeField(j.source),
                        EscapeField(j.callback),
                        EscapeField(j.reserve_date),
                        EscapeField(j.text),
                        EscapeField(j.gateway_job_id),
                        to_string(j.total),
                        to_string(j.acknowledged),
                        to_string(j.in_doubt),
                        to_string(j.not_sent),
                        j.ending,
                        to_string(j.ending_at),
                        j.report,
                        to_string(j.resend_of),
                        to_string(j.resent_as),
                        to_string(j.left_out)});
  }
  return body;
}

JobRequest JobRequest::Parse(std::string_view body) { return JobRequest{Decimal(body)}; }

JobExportRequest JobExportRequest::Parse(std::string_view sent) {
  const std::vector<std::string_view> f = SplitAtSeparators(sent);
  JobExportRequest r;
  r.job = Decimal(f[0]);
  if (f.size() > 1) r.path = f[1];
  if (f.size() > 2 && !f[2].empty()) r.format = f[2];
  r.replace = f.size() > 3 && f[3] == "1";
  return r;
}

std::string JobExportRequest::Build() const {
  if (replace) return JoinFields({std::to_string(job), path, format, "1"});
  return JoinFields({std::to_string(job), path, format});
}

JobResendRequest JobResendRequest::Parse(std::string_view body) {
  const std::vector<std::string_view> f = SplitAtSeparators(body);
  JobResendRequest r;
  r.job = Decimal(f[0]);
  r.include_in_doubt = f.size() > 1 && f[1] == "1";
  return r;
}

std::string JobResendRequest::Build() const {
  return JoinFields({std::to_string(job), include_in_doubt ? "1" : "0"});
}

std::optional<JobResendReply> JobResendReply::Parse(std::string_view body) {
  const size_t sep = body.find(kFieldSep);
  if (sep == std::string_view::npos) return std::nullopt;
  return JobResendReply{Decimal(body.substr(0, sep)),
                        std::string(body.substr(sep + kFieldSep.size()))};
}

std::string JobResendReply::Build() const { return JoinFields({std::to_string(job), text}); }

JobForgetRequest JobForgetRequest::Parse(std::string_view body) {
  return JobForgetRequest{Decimal(body)};
}

std::optional<JobForgetReply> JobForgetReply::Parse(std::string_view body) {
  const std::vector<std::string_view> f = SplitAtSeparators(body);
  if (f[0].empty() ||
      !std::all_of(f[0].begin(), f[0].end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return JobForgetReply{Decimal(f[0]), f.size() > 1 ? Decimal(f[1]) : 0};
}

std::string JobForgetReply::Build() const {
  if (kept_for_report == 0) return std::to_string(forgotten);
  return JoinFields({std::to_string(forgotten), std::to_string(kept_for_report)});
}

}  // namespace parley::protocol
