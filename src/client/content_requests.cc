#include "client/content_requests.h"

#include "client/message_text.h"
#include "protocol/query_requests.h"
#include "protocol/replies.h"

namespace parley {
namespace {

// "YYYY-MM" or "YYYYMM" as year and month texts; an empty text gives two empty texts.
bool SplitMonth(const std::string& text, std::string* year, std::string* month) {
  if (text.empty()) {
    year->clear();
    month->clear();
    return true;
  }
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (c != '-' && c != '/' && c != '.') {
      return false;
    }
  }
  if (digits.size() != 6 || digits.substr(4) < "01" || digits.substr(4) > "12") return false;
  *year = digits.substr(0, 4);
  *month = std::to_string(std::stoi(digits.substr(4)));
  return true;
}

}  // namespace

std::pair<std::string, std::string> MessagesRequest(const MessagesOptions& o) {
  const std::string page = std::to_string(o.page);
  const std::string size = std::to_string(o.size);
  if (o.action == "save") {
    return {"MYMSG",
            protocol::SaveMessageRequest{EscapeUiText(o.text), EscapeUiText(o.subject), o.type}
                .Build()};
  }
  if (o.action == "catalogue") {
    if (o.group.empty())
      return {"EMOTN", protocol::CatalogueFirstRequest{o.type, page, size}.Build()};
    return {"EMOTN", protocol::CataloguePageRequest{o.type, o.group, page, size}.Build()};
  }
  return {"MYMSG",
          protocol::SavedMessagesRequest{o.type == "SMS" ? "CNT" : o.type, page, size}.Build()};
}

std::string ResultsBody(const ResultsOptions& o) {
  return protocol::SendResultsRequest{
      1,  o.from, o.to, o.kind, o.result, std::to_string(o.page), std::to_string(o.size),
      "", o.phone}
      .Build();
}

bool StatsBody(const StatsOptions& o, std::string* body) {
  protocol::UsageRequest request;
  if (!SplitMonth(o.from, &request.start_year, &request.start_month) ||
      !SplitMonth(o.to, &request.end_year, &request.end_month)) {
    return false;
  }
  *body = request.Build();
  return true;
}

}  // namespace parley
