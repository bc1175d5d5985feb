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

std::string OnMyMsg(EngineServices& services, const std::string& body) {
  WebService& web = services.web();
  if (protocol::SaveMessageRequest::Matches(body)) {
    const protocol::SaveMessageRequest r = protocol::SaveMessageRequest::Parse(body);
    return protocol::SaveMessageReply(web.SaveMessage(r.text, r.subject, r.type));
  }
  const protocol::SavedMessagesRequest r = protocol::SavedMessagesRequest::Parse(body);
  if (!r.Known()) return std::string();
  if (r.kind == "CNT") {
    const std::string sms = web.SavedCount(kSmsType);
    const std::string lms = web.SavedCount(kLmsType);
    return protocol::SavedCountsReply(sms, lms, web.SavedPage(kSmsType, r.page, r.page_size));
  }
  return protocol::SavedPageReply(r.kind, web.SavedPage(r.kind, r.page, r.page_size));
}

std::string OnEmotn(EngineServices& services, const std::string& body) {
  WebService& web = services.web();
  if (protocol::CatalogueFirstRequest::Matches(body)) {
    const protocol::CatalogueFirstRequest r = protocol::CatalogueFirstRequest::Parse(body);
    const std::string categories = web.CatalogueTypes(r.type);
    const std::string count = web.CatalogueCount(kAllGroups, r.type);
    return protocol::CatalogueFirstReply(
        categories, count, web.CataloguePage(kAllGroups, r.type, r.page, r.page_size));
  }
  const protocol::CataloguePageRequest r = protocol::CataloguePageRequest::Parse(body);
  const std::string count = web.CatalogueCount(r.group, r.type);
  return protocol::CataloguePageReply(count,
                                      web.CataloguePage(r.group, r.type, r.page, r.page_size));
}

std::string OnSendL(EngineServices& services, const std::string& body) {
  WebService& web = services.web();
  const protocol::SendResultsRequest r = protocol::SendResultsRequest::Parse(body);
  const StatQuery query{r.from, r.to, r.type, r.result, r.number_flag, r.phone};
  std::string totals_line;
  if (r.selector == kResultSelector) {
    totals_line = protocol::ResultTotalsLine(r.selector, web.ResultTotals(r.from, r.to));
  } else if (r.selector != kListSelector) {
    totals_line = protocol::ResultTotalsLine(r.selector, web.StatTotals(query));
  }
  return protocol::SendResultsReply(r.selector, totals_line,
                                    web.StatPage(query, r.page, r.page_size));
}

std::string OnCashL(EngineServices& services, const std::string& body) {
  const protocol::UsageRequest r = protocol::UsageRequest::Parse(body);
  return services.web().DailyStat(r.start_year, r.start_month, r.end_year, r.end_month);
}

}  // namespace parley
