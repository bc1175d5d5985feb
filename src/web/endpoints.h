// The web service's endpoints, one row each: how the request is sent, where, and which fields
// it carries. Every request the engine makes of the web service is built from this table.
#ifndef PARLEY_WEB_ENDPOINTS_H_
#define PARLEY_WEB_ENDPOINTS_H_

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "web/web_target.h"

namespace parley {

enum class Endpoint {
  kLogin,           // POST loginok.asp: id, password
  kUserInfo,        // GET GetUserInfo.asp: the account figures
  kLogout,          // GET logout.asp; nobody reads the reply
  kSendCheck,       // POST sendablecheck.asp: kind, count, reservation
  kSentReport,      // POST sended.asp: the report, a form built by the send pipelines
  kCatalogueTypes,  // GET GetCatText.asp: type
  kCatalogueCount,  // GET GetEmoticonCNT.asp: group, type
  kCataloguePage,   // GET GetEmoticon.asp: group, type, page, page size
  kSavedCount,      // GET GetEmoticonCNT.asp of the user's box: type
  kSavedPage,       // GET GetEmoticon.asp of the user's box: type, page size, page
  kSaveMessage,     // POST SaveEmoticon.asp: message, subject, message type
  kResultTotals,    // GET GetSendResultCNT.asp: from, to
  kStatTotals,      // GET GetSendStatCNT.asp: from, to, type, result, number flag, phone
  kStatPage,        // GET GetSendStat.asp: as kStatTotals, then page, page size
  kDailyStat,       // GET GetDailyStat.asp: start year, start month, end year, end month
};

enum class HttpMethod { kGet, kPost };

// "{}" in a row's target or form stands for the next argument of the call, in order.
struct EndpointRow {
  Endpoint endpoint;
  HttpMethod method;
  // Where the target goes: after the whole base URL, or after its host alone (the base URL's
  // path left out).
  enum Base { kAfterBaseUrl, kAfterHost } base;
  std::string_view target;  // path and query; arguments go in as they are (no encoding)
  std::string_view form;    // POST only; arguments go in form-encoded, or as they are for "{}"
                            // alone (a form built already)
};

// The table, one row per endpoint.
std::span<const EndpointRow> EndpointTable();

// One request, ready for the web client.
struct WebRequest {
  HttpMethod method = HttpMethod::kGet;
  WebTarget target;  // an empty server when the URL cannot be split: the request fails
  std::string form;
};

// The request of `endpoint` on `base_url` with `args` in place of its "{}" (a missing argument
// is empty).
WebRequest RequestFor(std::string_view base_url, Endpoint endpoint,
                      std::initializer_list<std::string_view> args);

}  // namespace parley

#endif  // PARLEY_WEB_ENDPOINTS_H_
