#include "commands/content_commands.h"

#include "engine/engine_services.h"
#include "protocol/query_requests.h"
#include "protocol/replies.h"
#include "web/web_service.h"

namespace parley {

namespace {

constexpr std::string_view kSmsType = "SMS";
constexpr std::string_view kLmsType = "LMS";
constexpr std::string_view kAllGroups = "";
constexpr int kResultSelector = 1;  // the result totals
constexpr int kListSelector = 2;    // the list alone

}  // namespace

asio::awaitable<std::string> OnMyMsg(EngineServices& services, std::string body) {
  WebService& web = services.web();
  if (protocol::SaveMessageRequest::Matches(body)) {
    const protocol::SaveMessageRequest r = protocol::SaveMessageRequest::Parse(body);
    co_return protocol::SaveMessageReply(co_await web.SaveMessage(r.text, r.subject, r.type));
  }
  const protocol::SavedMessagesRequest r = protocol::SavedMessagesRequest::Parse(body);
  if (!r.Known()) co_return std::string();
  if (r.kind == "CNT") {
    const std::string sms = co_await web.SavedCount(kSmsType);
    const std::string lms = co_await web.SavedCount(kLmsType);
    co_return protocol::SavedCountsReply(sms, lms,
                                         co_await web.SavedPage(kSmsType, r.page, r.page_size));
  }
  co_return protocol::SavedPageReply(r.kind, co_await web.SavedPage(r.kind, r.page, r.page_size));
}

asio::awaitable<std::string> OnEmotn(EngineServices& services, std::string body) {
  WebService& web = services.web();
  if (protocol::CatalogueFirstRequest::Matches(body)) {
    const protocol::CatalogueFirstRequest r = protocol::CatalogueFirstRequest::Parse(body);
    const std::string categories = co_await web.CatalogueTypes(r.type);
    const std::string count = co_await web.CatalogueCount(kAllGroups, r.type);
    co_return protocol::CatalogueFirstReply(
        categories, count, co_await web.CataloguePage(kAllGroups, r.type, r.page, r.page_size));
  }
  const protocol::CataloguePageRequest r = protocol::CataloguePageRequest::Parse(body);
  const std::string count = co_await web.CatalogueCount(r.group, r.type);
  co_return protocol::CataloguePageReply(
      count, co_await web.CataloguePage(r.group, r.type, r.page, r.page_size));
}

asio::awaitable<std::string> OnSendL(EngineServices& services, std::string body) {
  WebService& web = services.web();
  const protocol::SendResultsRequest r = protocol::SendResultsRequest::Parse(body);
  const StatQuery query{r.from, r.to, r.type, r.result, r.number_flag, r.phone};
  std::string totals_line;
  if (r.selector == kResultSelector) {
    totals_line = protocol::ResultTotalsLine(r.selector, co_await web.ResultTotals(r.from, r.to));
  } else if (r.selector != kListSelector) {
    totals_line = protocol::ResultTotalsLine(r.selector, co_await web.StatTotals(query));
  }
  co_return protocol::SendResultsReply(r.selector, totals_line,
                                       co_await web.StatPage(query, r.page, r.page_size));
}

asio::awaitable<std::string> OnCashL(EngineServices& services, std::string body) {
  const protocol::UsageRequest r = protocol::UsageRequest::Parse(body);
  co_return co_await services.web().DailyStat(r.start_year, r.start_month, r.end_year, r.end_month);
}

}  // namespace parley
