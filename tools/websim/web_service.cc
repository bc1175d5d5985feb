#include "websim/web_service.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <limits>
#include <utility>

#include "text/mbcs.h"

namespace parley::websim {
namespace {

constexpr std::string_view kCol = "<COL>";
constexpr std::string_view kBr = "<BR>";
constexpr int kDefaultPageSize = 10;
constexpr int kMaxPageSize = 1000;
constexpr int64_t kMaxCount = 1000000000;  // larger counts are refused as malformed

// Hundredths of a won per short message, as shown in the account's amount.
constexpr int64_t kSmsPriceCents = 1250;

// The reply a page gives to a request without a valid session.
constexpr std::string_view kNoSession = "2";

std::string_view Value(const std::map<std::string, std::string>& form, std::string_view key) {
  auto it = form.find(std::string(key));
  return it == form.end() ? std::string_view() : std::string_view(it->second);
}

HttpReply Text(std::string body) { return HttpReply{200, std::move(body), {}}; }

// A positive decimal count up to kMaxCount; nothing otherwise.
std::optional<int64_t> ParseCount(std::string_view text) {
  int64_t n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || n <= 0 ||
      n > kMaxCount) {
    return std::nullopt;
  }
  return n;
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += separator;
    out += parts[i];
  }
  return out;
}

// The rows [begin, end) of `total` that page "pg" (from 1) of "ps" rows selects; a page or
// page size that is missing or not positive counts as 1 or kDefaultPageSize.
std::pair<size_t, size_t> PageRange(size_t total, const std::map<std::string, std::string>& q) {
  int64_t page = std::max(1, Atoi(Value(q, "pg")));
  int64_t size = Atoi(Value(q, "ps"));
  if (size < 1) size = kDefaultPageSize;
  size = std::min<int64_t>(size, kMaxPageSize);
  uint64_t begin = static_cast<uint64_t>(page - 1) * static_cast<uint64_t>(size);
  if (begin >= total) return {total, total};
  return {begin, std::min<uint64_t>(total, begin + static_cast<uint64_t>(size))};
}

std::string Digits(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c >= '0' && c <= '9') out.push_back(c);
  }
  return out;
}

// True when the date digits of `time` fall within [from, to]; each bound compares as many
// leading digits as it has (up to eight, "YYYYMMDD"), and an empty bound is open.
bool WithinDates(std::string_view time, std::string_view from, std::string_view to) {
  std::string day = Digits(time).substr(0, 8);
  std::string lo = Digits(from).substr(0, 8);
  std::string hi = Digits(to).substr(0, 8);
  if (!lo.empty() && day.substr(0, lo.size()) < lo) return false;
  if (!hi.empty() && day.substr(0, hi.size()) > hi) return false;
  return true;
}

std::string ResultText(std::string_view result) {
  if (result == kResultDone) return Ko("전송완료");
  if (result == kResultFailed) return Ko("전송실패");
  return Ko("예약대기");
}

std::string FormatAmount(int64_t cents) {
  char text[40];
  std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(cents / 100),
                static_cast<long long>(cents % 100));
  return text;
}

}  // namespace

WebService::WebService(std::vector<Account> extra_accounts, std::string cookie_path)
    : catalogue_(BuildCatalogue()),
      cookie_path_(std::move(cookie_path)),
      random_(std::random_device{}()) {
  initial_accounts_.push_back(BuiltInAccount());
  for (auto& account : extra_accounts) initial_accounts_.push_back(std::move(account));
  cookie_name_ = "ASPSESSIONID" + RandomLetters(8);
  Reset();
}

void WebService::Reset() {
  accounts_.clear();
  for (const auto& account : initial_accounts_) accounts_[account.id] = account;
  sessions_.clear();
  Account built_in = BuiltInAccount();
  jobs_ = SeedHistory(built_in.id);
  saved_ = SeedSavedMessages(built_in.id);
  next_job_seq_ = static_cast<int64_t>(jobs_.size()) + 1;
  next_saved_seq_ = static_cast<int64_t>(saved_.size()) + 1;
}

std::string WebService::RandomLetters(size_t n) {
  std::uniform_int_distribution<int> letter('A', 'Z');
  std::string out;
  for (size_t i = 0; i < n; ++i) out.push_back(static_cast<char>(letter(random_)));
  return out;
}

HttpReply WebService::Handle(const HttpRequest& request) {
  static constexpr std::string_view kSessionPages[] = {
      "/Member/logout.asp",       "/Ajax/GetUserInfo.asp",  "/QX/sendablecheck.asp",
      "/QX/sended.asp",           "/Ajax/GetCatText.asp",   "/Ajax/GetEmoticonCNT.asp",
      "/Ajax/GetEmoticon.asp",    "/Ajax/SaveEmoticon.asp", "/Ajax/GetSendResultCNT.asp",
      "/Ajax/GetSendStatCNT.asp", "/Ajax/GetSendStat.asp",  "/Ajax/GetDailyStat.asp"};
  std::string_view path = request.path();
  if (path == "/QX/loginok.asp") return Login(request);
  if (std::find(std::begin(kSessionPages), std::end(kSessionPages), path) ==
      std::end(kSessionPages)) {
    return HttpReply{404,
                     "<html><head><title>The page cannot be found</title></head><body>"
                     "<h1>The page cannot be found</h1>HTTP 404 - File not found</body></html>",
                     {}};
  }
  std::optional<std::string> cookie = request.Cookie(cookie_name_);
  auto session = cookie ? sessions_.find(*cookie) : sessions_.end();
  if (session == sessions_.end()) return Text(std::string(kNoSession));
  auto account_it = accounts_.find(session->second);
  if (account_it == accounts_.end()) return Text(std::string(kNoSession));
  Account& account = account_it->second;

  Form query = ParseForm(request.query());
  Form form = ParseForm(request.body);
  if (path == "/Member/logout.asp") return Logout(*cookie);
  if (path == "/Ajax/GetUserInfo.asp") return UserInfo(account);
  if (path == "/QX/sendablecheck.asp") return SendableCheck(account, form);
  if (path == "/QX/sended.asp") return Sended(account, form);
  if (path == "/Ajax/GetCatText.asp") return CatText(query);
  if (path == "/Ajax/GetEmoticonCNT.asp") return EmoticonCount(account, query);
  if (path == "/Ajax/GetEmoticon.asp") return Emoticons(account, query);
  if (path == "/Ajax/SaveEmoticon.asp") return SaveEmoticon(account, form);
  if (path == "/Ajax/GetSendResultCNT.asp") return SendResultCount(account, query);
  if (path == "/Ajax/GetSendStatCNT.asp") return SendStatCount(account, query);
  if (path == "/Ajax/GetSendStat.asp") return SendStat(account, query);
  return DailyStat(account, query);
}

HttpReply WebService::Login(const HttpRequest& request) {
  Form form = ParseForm(request.body);
  auto it = accounts_.find(std::string(Value(form, "loginid")));
  if (it == accounts_.end() || it->second.password != Value(form, "loginpass")) {
    return Text("0" + std::string(kCol) + Ko("아이디 또는 비밀번호가 일치하지 않습니다.") + "\r\n");
  }
  // A new login replaces the session the request came with.
  if (std::optional<std::string> old = request.Cookie(cookie_name_)) sessions_.erase(*old);
  std::string session = RandomLetters(24);
  sessions_[session] = it->first;
  HttpReply reply =
      Text("1" + std::string(kCol) + it->first + std::string(kCol) + Ko("로그인 되었습니다.") +
           "\r\n<script>location.href='/QX/main.asp';</script>\r\n");
  reply.headers.emplace_back("Set-Cookie", cookie_name_ + "=" + session + "; path=" + cookie_path_);
  return reply;
}

HttpReply WebService::Logout(const std::string& session) {
  sessions_.erase(session);
  return Text("<script>location.href='/';</script>");
}

HttpReply WebService::UserInfo(const Account& account) const {
  // Columns: 0 id, 1 name, 2 grade code, 3 phone, 4 amount, 5 display name, 6 metered flag
  // ("0": flat rate), 7-8 prices of a short and a long text, 9 time of this call, 10 grade,
  // 11 messages left per kind, tagged.
  int64_t sms = account.flat_rate ? 9999999 : account.balance / kSmsCost;
  int64_t txt = account.flat_rate ? 9999999 : account.balance / kLmsCost;
  int64_t imt = account.flat_rate ? 9999999 : account.balance / kMmsCost;
  std::vector<std::string> columns = {
      account.id,
      Ko("테스트사용자"),
      account.flat_rate ? "9" : "1",
      "010-1234-5678",
      FormatAmount(account.flat_rate ? 0 : account.balance * kSmsPriceCents),
      account.id + Ko("님"),
      account.flat_rate ? "0" : "1",
      FormatAmount(kSmsPriceCents * kSmsCost),
      FormatAmount(kSmsPriceCents * kLmsCost),
      NowText(),
      account.flat_rate ? Ko("정액회원") : Ko("일반회원"),
      "SMS:" + std::to_string(sms) + ",TXT:" + std::to_string(txt) + ",IMT:" + std::to_string(imt) +
          ","};
  return Text(Join(columns, kCol));
}

HttpReply WebService::SendableCheck(const Account& account, const Form& form) const {
  // One line: result, kind, count asked, count the balance allows, reservation, then a row
  // with the message for the user. '1' allows the send, '0' is a short balance, '9' a
  // malformed request.
  std::string type(Value(form, "type"));
  std::string totcnt(Value(form, "totcnt"));
  std::string_view reserdate = Value(form, "reserdate");
  std::optional<int64_t> cost = MessageCost(type);
  std::optional<int64_t> count = ParseCount(totcnt);
  int64_t available = account.flat_rate ? 9999999 : cost ? account.balance / *cost : 0;
  std::string result;
  std::string message;
  if (!cost) {
    result = "9";
    message = Ko("메시지 종류가 올바르지 않습니다.");
  } else if (!count) {
    result = "9";
    message = Ko("발송 건수가 올바르지 않습니다.");
  } else if (!account.flat_rate && *count > available) {
    result = "0";
    message = Ko("잔액이 부족합니다.");
  } else {
    result = "1";
    message = Ko("발송 가능합니다.");
  }
  return Text(result + std::string(kCol) + type + std::string(kCol) + totcnt + std::string(kCol) +
              std::to_string(available) + std::string(kCol) +
              (reserdate.empty() ? Ko("즉시") : std::string(reserdate)) + std::string(kBr) +
              message + "\r\n");
}

HttpReply WebService::Sended(Account& account, const Form& form) {
  std::optional<int64_t> count = ParseCount(Value(form, "totcnt"));
  if (!count) return Text("0" + std::string(kCol) + Ko("발송 내역이 없습니다.") + "\r\n");
  SentJob job;
  job.seq = next_job_seq_++;
  job.time = NowText();
  job.account = account.id;
  job.jobid = Value(form, "jobid");
  job.type = Value(form, "type");
  job.count = *count;
  job.title = Value(form, "title");
  job.msg = Value(form, "msg");
  job.resflag = Value(form, "resflag");
  job.reserdate = Value(form, "reserdate");
  job.fromnumber = Value(form, "fromnumber");
  job.result = std::string(job.resflag == "2" ? kResultWaiting : kResultDone);
  if (!account.flat_rate) {
    int64_t cost = MessageCost(job.type).value_or(kSmsCost);
    account.balance = std::max<int64_t>(0, account.balance - *count * cost);
  }
  std::string jobid = job.jobid;
  jobs_.push_back(std::move(job));
  return Text("1" + std::string(kCol) + jobid + "\r\n");
}

const CatalogueGroup* WebService::FindGroup(std::string_view gseq) const {
  if (gseq.empty()) return catalogue_.empty() ? nullptr : &catalogue_.front();
  for (const auto& group : catalogue_) {
    if (group.gseq == gseq) return &group;
  }
  return nullptr;
}

HttpReply WebService::CatText(const Form& query) const {
  // Rows: group number, group name, number of texts. Every category has the same groups.
  if (Value(query, "type").empty()) return Text("");
  std::vector<std::string> rows;
  for (const auto& group : catalogue_) {
    rows.push_back(group.gseq + std::string(kCol) + group.name + std::string(kCol) +
                   std::to_string(group.texts.size()));
  }
  return Text(Join(rows, kBr));
}

HttpReply WebService::EmoticonCount(const Account& account, const Form& query) const {
  std::string_view type = Value(query, "type");
  if (Value(query, "mode") == "user") {
    auto n = std::count_if(saved_.begin(), saved_.end(), [&](const SavedMessage& m) {
      return m.account == account.id && m.msgtype == type;
    });
    return Text(std::to_string(n));
  }
  const CatalogueGroup* group = FindGroup(Value(query, "gseq"));
  return Text(std::to_string(type.empty() || !group ? 0 : group->texts.size()));
}

HttpReply WebService::Emoticons(const Account& account, const Form& query) const {
  std::string_view type = Value(query, "type");
  std::vector<std::string> rows;
  if (Value(query, "mode") == "user") {
    // Rows, newest first: number, subject, text, kind, time saved.
    std::vector<const SavedMessage*> mine;
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->account == account.id && it->msgtype == type) mine.push_back(&*it);
    }
    auto [begin, end] = PageRange(mine.size(), query);
    for (size_t i = begin; i < end; ++i) {
      const SavedMessage& m = *mine[i];
      rows.push_back(std::to_string(m.seq) + std::string(kCol) + m.subject + std::string(kCol) +
                     m.msg + std::string(kCol) + m.msgtype + std::string(kCol) + m.time);
    }
    return Text(Join(rows, kBr));
  }
  // Rows: text number, group name, text.
  const CatalogueGroup* group = FindGroup(Value(query, "gseq"));
  if (type.empty() || !group) return Text("");
  auto [begin, end] = PageRange(group->texts.size(), query);
  for (size_t i = begin; i < end; ++i) {
    rows.push_back(group->gseq + std::to_string(1001 + i).substr(1) + std::string(kCol) +
                   group->name + std::string(kCol) + group->texts[i]);
  }
  return Text(Join(rows, kBr));
}

HttpReply WebService::SaveEmoticon(const Account& account, const Form& form) {
  std::string_view msg = Value(form, "msg");
  if (msg.empty()) return Text("<script>alert('" + Ko("메시지를 입력하세요.") + "');</script>\r\n");
  SavedMessage m;
  m.seq = next_saved_seq_++;
  m.account = account.id;
  m.msgtype = Value(form, "msgtype").empty() ? "SMS" : std::string(Value(form, "msgtype"));
  m.subject = Value(form, "subject");
  m.msg = msg;
  m.time = NowText();
  saved_.push_back(std::move(m));
  return Text("<script>alert('" + Ko("저장되었습니다.") + "');history.back();</script>\r\n");
}

std::vector<const SentJob*> WebService::FilteredJobs(const Account& account,
                                                     const Form& query) const {
  std::string_view sdate = Value(query, "sdate");
  std::string_view edate = Value(query, "edate");
  std::string_view msgtype = Value(query, "msgtype");
  std::string_view rsltcode = Value(query, "rsltcode");
  std::string_view phone = Value(query, "phone");
  std::vector<const SentJob*> jobs;
  for (auto it = jobs_.rbegin(); it != jobs_.rend(); ++it) {
    if (it->account != account.id || !WithinDates(it->time, sdate, edate)) continue;
    if (!msgtype.empty() && it->type != msgtype) continue;
    if (!rsltcode.empty() && it->result != rsltcode) continue;
    if (!phone.empty() && it->fromnumber.find(phone) == std::string::npos) continue;
    jobs.push_back(&*it);
  }
  return jobs;
}

HttpReply WebService::SendResultCount(const Account& account, const Form& query) const {
  // Messages in the period: all, delivered, failed, waiting.
  int64_t all = 0, done = 0, failed = 0, waiting = 0;
  for (const SentJob* job : FilteredJobs(account, query)) {
    all += job->count;
    if (job->result == kResultDone) done += job->count;
    if (job->result == kResultFailed) failed += job->count;
    if (job->result == kResultWaiting) waiting += job->count;
  }
  return Text(Join(
      {std::to_string(all), std::to_string(done), std::to_string(failed), std::to_string(waiting)},
      kCol));
}

HttpReply WebService::SendStatCount(const Account& account, const Form& query) const {
  // The number of rows the list has, for its pager.
  return Text(std::to_string(FilteredJobs(account, query).size()));
}

HttpReply WebService::SendStat(const Account& account, const Form& query) const {
  // Rows, newest first: 0 number, 1 job id, 2 account, 3 time, 4 kind, 5 call-back number,
  // 6 title, 7 message, 8 reservation flag, 9 reservation, 10 result code, 11 delivered,
  // 12 result, 13 count, 14 failed.
  std::vector<const SentJob*> jobs = FilteredJobs(account, query);
  auto [begin, end] = PageRange(jobs.size(), query);
  std::vector<std::string> rows;
  for (size_t i = begin; i < end; ++i) {
    const SentJob& job = *jobs[i];
    bool done = job.result == kResultDone;
    bool failed = job.result == kResultFailed;
    rows.push_back(Join({std::to_string(job.seq), job.jobid, job.account, job.time, job.type,
                         job.fromnumber, job.title, job.msg, job.resflag, job.reserdate, job.result,
                         std::to_string(done ? job.count : 0), ResultText(job.result),
                         std::to_string(job.count), std::to_string(failed ? job.count : 0)},
                        kCol));
  }
  return Text(Join(rows, kBr));
}

HttpReply WebService::DailyStat(const Account& account, const Form& query) const {
  // Rows per day with sends, oldest first: day, short, long and picture messages, all; then
  // the totals.
  auto month = [&](std::string_view year_key, std::string_view month_key) {
    int year = Atoi(Value(query, year_key));
    int mon = Atoi(Value(query, month_key));
    return year > 0 && mon > 0 ? std::to_string(year * 100 + mon) : std::string();
  };
  std::string from = month("syy", "smm");
  std::string to = month("eyy", "emm");
  std::map<std::string, std::array<int64_t, 3>> days;
  for (const SentJob& job : jobs_) {
    if (job.account != account.id || !WithinDates(job.time, from, to)) continue;
    auto& day = days[job.time.substr(0, 10)];
    day[job.type == "LMS" ? 1 : job.type == "MMS" ? 2 : 0] += job.count;
  }
  if (days.empty()) return Text("");
  std::vector<std::string> rows;
  std::array<int64_t, 3> total{};
  for (const auto& [day, n] : days) {
    for (size_t k = 0; k < 3; ++k) total[k] += n[k];
    rows.push_back(Join({day, std::to_string(n[0]), std::to_string(n[1]), std::to_string(n[2]),
                         std::to_string(n[0] + n[1] + n[2])},
                        kCol));
  }
  rows.push_back(Join({Ko("합계"), std::to_string(total[0]), std::to_string(total[1]),
                       std::to_string(total[2]), std::to_string(total[0] + total[1] + total[2])},
                      kCol));
  return Text(Join(rows, kBr));
}

}  // namespace parley::websim
