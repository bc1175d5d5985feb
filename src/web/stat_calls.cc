#include "web/stat_calls.h"

#include "web/reply_data.h"

#include <array>
#include <initializer_list>
#include <vector>

#include "text/mbcs.h"

namespace parley {
namespace {

// The body fields the send-result requests read.
constexpr size_t kMessageTypeField = 3;
constexpr size_t kResultCodeField = 4;
constexpr size_t kPageField = 5;
constexpr size_t kPageSizeField = 6;
constexpr size_t kNumberFlagField = 7;
constexpr size_t kPhoneField = 8;

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out += p;
  return out;
}

// The query shared by the two send-result requests, from "sdate=" to "phone=<phone>".
std::string SendStatQuery(std::string_view start_date, std::string_view end_date,
                          const QxFields& f) {
  return Join({"sdate=", start_date, "&edate=", end_date,
               "&msgtype=", NullToEmpty(f[kMessageTypeField]),
               "&account=&rsltcode=", NullToEmpty(f[kResultCodeField]),
               "&numflag=", f[kNumberFlagField], "&phone=", f[kPhoneField]});
}

}  // namespace

void StatRequest::GetSendResultCNT(std::string_view base_url, std::string_view start_date,
                                   std::string_view end_date) {
  target = TargetOf(
      Join({base_url, "/Ajax/GetSendResultCNT.asp?sdate=", start_date, "&edate=", end_date}));
}

void StatRequest::GetSendStatCNT(std::string_view base_url, std::string_view start_date,
                                 std::string_view end_date, std::string_view body) {
  const QxFields f(body);
  target = TargetOf(
      Join({base_url, ":443/Ajax/GetSendStatCNT.asp?", SendStatQuery(start_date, end_date, f)}));
}

void StatRequest::GetSendStat(std::string_view base_url, std::string_view start_date,
                              std::string_view end_date, std::string_view body) {
  const QxFields f(body);
  page_size = std::string(f[kPageSizeField]);
  target =
      TargetOf(Join({base_url, "/Ajax/GetSendStat.asp?", SendStatQuery(start_date, end_date, f),
                     "&pg=", f[kPageField], "&ps=", page_size}));
}

void StatRequest::GetDailyStat(std::string_view base_url, std::string_view body) {
  const QxFields f(body);
  target = TargetOf(Join({base_url, ":443/Ajax/GetDailyStat.asp?syy=", f[0], "&smm=", f[1],
                          "&eyy=", f[2], "&emm=", f[3]}));
}

std::string FormatResultCount(std::string_view reply, int n) {
  return protocol::ResultTotalsLine(n, ParseTotals(reply));
}

std::string FormatSendStatRows(const StatRequest& request, std::string_view reply) {
  return protocol::SendResultsReply(0, "", ParseSentJobs(reply, request.page_size));
}

}  // namespace parley
