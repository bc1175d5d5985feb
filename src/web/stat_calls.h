// Send results and usage statistics: the four requests and the formatters that turn their
// replies into the UI program's count line and list.
#ifndef PARLEY_WEB_STAT_CALLS_H_
#define PARLEY_WEB_STAT_CALLS_H_

#include <string>
#include <string_view>

#include "web/reply_data.h"
#include "web/web_target.h"

namespace parley {

// One statistics request. The builders format the URL with the base URL and the values exactly
// as given (no encoding) and set the target; the list request also keeps its page size, which
// FormatSendStatRows reads as its row limit. Sent with CWebClient::GetPage.
//
// `body` is the request body of the command (fields separated by "<QX>" or backticks, numbered
// from 0, a missing field empty). The send-result requests take the message type from field 3
// and the result code from field 4 (both after NullToEmpty), the page from 5, the page size from
// 6, the number flag from 7 and the phone from 8.
struct StatRequest {
  WebTarget target;
  std::string page_size;

  // "<base>/Ajax/GetSendResultCNT.asp?sdate=<start>&edate=<end>"
  void GetSendResultCNT(std::string_view base_url, std::string_view start_date,
                        std::string_view end_date);
  // "<base>:443/Ajax/GetSendStatCNT.asp?sdate=&edate=&msgtype=&account=&rsltcode=&numflag=&phone="
  // with the values after each "=" but "account=".
  void GetSendStatCNT(std::string_view base_url, std::string_view start_date,
                      std::string_view end_date, std::string_view body);
  // "<base>/Ajax/GetSendStat.asp?" as GetSendStatCNT, then "&pg=<page>&ps=<page size>"; keeps the
  // page size.
  void GetSendStat(std::string_view base_url, std::string_view start_date,
                   std::string_view end_date, std::string_view body);
  // "<base>:443/Ajax/GetDailyStat.asp?syy=&smm=&eyy=&emm=" with fields 0 to 3 of `body`.
  void GetDailyStat(std::string_view base_url, std::string_view body);
};

// The count line: n, "<QX>", four comma-separated values, "<DATA>". The values are the first
// four "<COL>" fields of the reply (missing ones empty). A reply without "<COL>" is one value V:
// "V,0,0,V" when n is 3, otherwise "0,0,0,V".
std::string FormatResultCount(std::string_view reply, int n);

// The list: FormatStatRow of each "<BR>" row of the reply, in order, stopping at the first empty
// row or after as many rows as the request's page size says (0 when it is not a number).
std::string FormatSendStatRows(const StatRequest& request, std::string_view reply);

}  // namespace parley

#endif  // PARLEY_WEB_STAT_CALLS_H_
