#include "web/web_service.h"

#include "protocol/markup.h"
#include "text/mbcs.h"
#include "web/reply_data.h"

namespace parley {

WebService::WebService(std::string base_url, uint16_t port, WebTimeouts timeouts)
    : base_url_(std::move(base_url)), client_(port, timeouts) {}

asio::awaitable<WebResult> WebService::Call(Endpoint endpoint,
                                            std::initializer_list<std::string_view> args) {
  return Send(RequestFor(base_url_, endpoint, args));
}

asio::awaitable<WebResult> WebService::Send(WebRequest request) {
  WebResult result;
  if (request.method == HttpMethod::kPost) {
    result.ok =
        co_await client_.PostForm(request.form, request.target.server, request.target.object);
  } else {
    result.ok = co_await client_.GetPage(request.target.server, request.target.object);
  }
  result.text = client_.reply();
  co_return result;
}

asio::awaitable<char> WebService::Login(std::string_view id, std::string_view password) {
  auto call = Call(Endpoint::kLogin, {id, password});
  co_return LoginCode((co_await std::move(call)).text);
}

asio::awaitable<protocol::AccountFigures> WebService::UserInfo() {
  auto call = Call(Endpoint::kUserInfo, {});
  co_return ParseUserInfo((co_await std::move(call)).text);
}

asio::awaitable<void> WebService::Logout() {
  auto call = Call(Endpoint::kLogout, {});
  co_await std::move(call);
}

asio::awaitable<SendCheckAnswer> WebService::CheckSendable(std::string_view kind_code,
                                                           std::string_view count,
                                                           std::string_view reserve) {
  auto call = Call(Endpoint::kSendCheck, {SendCheckKind(kind_code), count, reserve});
  WebResult r = co_await std::move(call);
  ReplaceAll(r.text, "<COL>", protocol::kFieldSep);
  ReplaceAll(r.text, "<BR>", "\n");
  const bool allowed = !r.text.empty() && r.text.front() == '1';
  co_return SendCheckAnswer{allowed, std::move(r.text)};
}

asio::awaitable<WebResult> WebService::ReportSent(std::string_view report) {
  auto call = Call(Endpoint::kSentReport, {report});
  co_return co_await std::move(call);
}

asio::awaitable<std::string> WebService::CatalogueTypes(std::string_view type) {
  auto call = Call(Endpoint::kCatalogueTypes, {type});
  co_return (co_await std::move(call)).text;
}

asio::awaitable<std::string> WebService::CatalogueCount(std::string_view group,
                                                        std::string_view type) {
  auto call = Call(Endpoint::kCatalogueCount, {group, type});
  co_return (co_await std::move(call)).text;
}

asio::awaitable<std::string> WebService::CataloguePage(std::string_view group,
                                                       std::string_view type, std::string_view page,
                                                       std::string_view page_size) {
  auto call = Call(Endpoint::kCataloguePage, {group, type, page, page_size});
  co_return (co_await std::move(call)).text;
}

asio::awaitable<std::string> WebService::SavedCount(std::string_view type) {
  auto call = Call(Endpoint::kSavedCount, {type});
  co_return (co_await std::move(call)).text;
}

asio::awaitable<std::string> WebService::SavedPage(std::string_view type, std::string_view page,
                                                   std::string_view page_size) {
  auto call = Call(Endpoint::kSavedPage, {type, page_size, page});
  co_return (co_await std::move(call)).text;
}

asio::awaitable<std::string> WebService::SaveMessage(std::string_view text,
                                                     std::string_view subject,
                                                     std::string_view type) {
  auto call = Call(Endpoint::kSaveMessage, {text, subject, type});
  co_return ExtractQuotedText((co_await std::move(call)).text);
}

asio::awaitable<std::vector<std::string>> WebService::ResultTotals(std::string_view from,
                                                                   std::string_view to) {
  auto call = Call(Endpoint::kResultTotals, {from, to});
  co_return ParseTotals((co_await std::move(call)).text);
}

asio::awaitable<std::vector<std::string>> WebService::StatTotals(const StatQuery& q) {
  auto call = Call(Endpoint::kStatTotals, {q.from, q.to, NullToEmpty(q.type), NullToEmpty(q.result),
                                           q.number_flag, q.phone});
  co_return ParseTotals((co_await std::move(call)).text);
}

asio::awaitable<std::vector<protocol::SentJob>> WebService::StatPage(const StatQuery& q,
                                                                     std::string_view page,
                                                                     std::string_view page_size) {
  auto call = Call(Endpoint::kStatPage, {q.from, q.to, NullToEmpty(q.type), NullToEmpty(q.result),
                                         q.number_flag, q.phone, page, page_size});
  const std::string reply = (co_await std::move(call)).text;
  co_return ParseSentJobs(reply, page_size);
}

asio::awaitable<std::string> WebService::DailyStat(std::string_view start_year,
                                                   std::string_view start_month,
                                                   std::string_view end_year,
                                                   std::string_view end_month) {
  auto call = Call(Endpoint::kDailyStat, {start_year, start_month, end_year, end_month});
  co_return (co_await std::move(call)).text;
}

std::string_view SendCheckKind(std::string_view kind_code) {
  if (kind_code == "1") return "SMS";
  if (kind_code == "2") return "LMS";
  return "MMS";
}

}  // namespace parley
