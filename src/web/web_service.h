// The web service as the engine uses it: one object owning the HTTP client (whose cookies carry
// the login) and the base URL, with one call per endpoint of the endpoint table. Every call
// returns what it got as a value; a failed request (logged by the client) gives the empty
// result, which the callers pass on as an empty place in their replies. Every call is awaited
// (see CWebClient): the engine's thread serves the link while the service answers.
#ifndef PARLEY_WEB_WEB_SERVICE_H_
#define PARLEY_WEB_WEB_SERVICE_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <asio/awaitable.hpp>

#include "protocol/replies.h"
#include "web/endpoints.h"
#include "web/web_client.h"

namespace parley {

// The outcome of one request: ok and the reply text (a POST's first line, a GET's normalised
// body), or not ok with an empty text.
struct WebResult {
  bool ok = false;
  std::string text;
};

// The send check's answer.
struct SendCheckAnswer {
  bool allowed = false;  // the answer starts with '1'
  // The reply text with its columns separated by "<QX>" and its rows by line feeds, as the UI
  // link shows it.
  std::string text;
};

// The filters of the send statistics.
struct StatQuery {
  std::string from;
  std::string to;
  std::string type;    // "NULL" is sent empty
  std::string result;  // likewise
  std::string number_flag;
  std::string phone;
};

// The engine version the login form reports.
inline constexpr char kEngineVersionText[] = "1.0.0.0";

class WebService {
 public:
  WebService(std::string base_url, uint16_t port, WebTimeouts timeouts = {});

  // Any endpoint with its arguments in table order.
  asio::awaitable<WebResult> Call(Endpoint endpoint, std::initializer_list<std::string_view> args);
  // One request as RequestFor builds it.
  asio::awaitable<WebResult> Send(WebRequest request);

  // Logs in; the first byte of the reply ('1' accepted), '\0' when there was none.
  asio::awaitable<char> Login(std::string_view id, std::string_view password);
  asio::awaitable<protocol::AccountFigures> UserInfo();
  // Ends the web session; the reply is not read.
  asio::awaitable<void> Logout();
  // The send check for a kind code of the UI program ("1" SMS, "2" LMS, anything else MMS).
  asio::awaitable<SendCheckAnswer> CheckSendable(std::string_view kind_code, std::string_view count,
                                                 std::string_view reserve);
  // Posts the sent report (a form body built by the send pipelines, possibly empty).
  asio::awaitable<WebResult> ReportSent(std::string_view report);

  asio::awaitable<std::string> CatalogueTypes(std::string_view type);
  asio::awaitable<std::string> CatalogueCount(std::string_view group, std::string_view type);
  asio::awaitable<std::string> CataloguePage(std::string_view group, std::string_view type,
                                             std::string_view page, std::string_view page_size);
  asio::awaitable<std::string> SavedCount(std::string_view type);
  asio::awaitable<std::string> SavedPage(std::string_view type, std::string_view page,
                                         std::string_view page_size);
  // Saves a message of the user's; the service's message (between its first two apostrophes).
  asio::awaitable<std::string> SaveMessage(std::string_view text, std::string_view subject,
                                           std::string_view type);

  asio::awaitable<std::vector<std::string>> ResultTotals(std::string_view from,
                                                         std::string_view to);
  asio::awaitable<std::vector<std::string>> StatTotals(const StatQuery& query);
  // At most page_size jobs (read as atoi reads it).
  asio::awaitable<std::vector<protocol::SentJob>> StatPage(const StatQuery& query,
                                                           std::string_view page,
                                                           std::string_view page_size);
  // The daily usage table as the service gives it.
  asio::awaitable<std::string> DailyStat(std::string_view start_year, std::string_view start_month,
                                         std::string_view end_year, std::string_view end_month);

  const std::string& base_url() const { return base_url_; }

 private:
  std::string base_url_;
  CWebClient client_;
};

// The message kind the send check names for a kind code: "1" "SMS", "2" "LMS", else "MMS".
std::string_view SendCheckKind(std::string_view kind_code);

}  // namespace parley

#endif  // PARLEY_WEB_WEB_SERVICE_H_
