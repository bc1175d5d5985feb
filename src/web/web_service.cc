#include "web/web_service.h"

#include "protocol/markup.h"
#include "text/mbcs.h"
#include "web/reply_data.h"

namespace parley {

WebService::WebService(std::string base_url, uint16_t port, WebTimeouts timeouts)
    : base_url_(std::move(base_url)), client_(port, timeouts) {}

WebResult WebService::Call(Endpoint endpoint, std::initializer_list<std::string_view> args) {
  const WebRequest request = RequestFor(base_url_, endpoint, args);
  WebResult result;
  if (request.method == HttpMethod::kPost) {
    result.ok = client_.PostForm(request.form, request.target.server, request.target.object);
  } else {
    result.ok = client_.GetPage(request.target.server, request.target.object);
  }
  result.text = client_.reply();
  return result;
}

char WebService::Login(std::string_view id, std::string_view password) {
  return LoginCode(Call(Endpoint::kLogin, {id, password}).text);
}

protocol::AccountFigures WebService::UserInfo() {
  return ParseUserInfo(Call(Endpoint::kUserInfo, {}).text);
}

void WebService::Logout() { Call(Endpoint::kLogout, {}); }

SendCheckAnswer WebService::CheckSendable(std::string_view kind_code, std::string_view count,
                                          std::string_view reserve) {
  WebResult r = Call(Endpoint::kSendCheck, {SendCheckKind(kind_code), count, reserve});
  ReplaceAll(r.text, "<COL>", protocol::kFieldSep);
  ReplaceAll(r.text, "<BR>", "\n");
  const bool allowed = !r.text.empty() && r.text.front() == '1';
  return {allowed, std::move(r.text)};
}

void WebService::ReportSent(std::string_view report) { Call(Endpoint::kSentReport, {report}); }

std::string WebService::CatalogueTypes(std::string_view type) {
  return Call(Endpoint::kCatalogueTypes, {type}).text;
}

std::string WebService::CatalogueCount(std::string_view group, std::string_view type) {
  return Call(Endpoint::kCatalogueCount, {group, type}).text;
}

std::string WebService::CataloguePage(std::string_view group, std::string_view type,
                                      std::string_view page, std::string_view page_size) {
  return Call(Endpoint::kCataloguePage, {group, type, page, page_size}).text;
}

std::string WebService::SavedCount(std::string_view type) {
  return Call(Endpoint::kSavedCount, {type}).text;
}

std::string WebService::SavedPage(std::string_view type, std::string_view page,
                                  std::string_view page_size) {
  return Call(Endpoint::kSavedPage, {type, page_size, page}).text;
}

std::string WebService::SaveMessage(std::string_view text, std::string_view subject,
                                    std::string_view type) {
  return ExtractQuotedText(Call(Endpoint::kSaveMessage, {text, subject, type}).text);
}

std::vector<std::string> WebService::ResultTotals(std::string_view from, std::string_view to) {
  return ParseTotals(Call(Endpoint::kResultTotals, {from, to}).text);
}

std::vector<std::string> WebService::StatTotals(const StatQuery& q) {
  return ParseTotals(Call(Endpoint::kStatTotals, {q.from, q.to, NullToEmpty(q.type),
                                                  NullToEmpty(q.result), q.number_flag, q.phone})
                         .text);
}

std::vector<protocol::SentJob> WebService::StatPage(const StatQuery& q, std::string_view page,
                                                    std::string_view page_size) {
  const std::string reply =
      Call(Endpoint::kStatPage, {q.from, q.to, NullToEmpty(q.type), NullToEmpty(q.result),
                                 q.number_flag, q.phone, page, page_size})
          .text;
  return ParseSentJobs(reply, page_size);
}

std::string WebService::DailyStat(std::string_view start_year, std::string_view start_month,
                                  std::string_view end_year, std::string_view end_month) {
  return Call(Endpoint::kDailyStat, {start_year, start_month, end_year, end_month}).text;
}

std::string_view SendCheckKind(std::string_view kind_code) {
  if (kind_code == "1") return "SMS";
  if (kind_code == "2") return "LMS";
  return "MMS";
}

}  // namespace parley
