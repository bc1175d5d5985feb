#include "web/endpoints.h"

#include <array>
#include <vector>

#include "text/text_codes.h"

namespace parley {

namespace {

using enum Endpoint;
using enum HttpMethod;
constexpr EndpointRow::Base kUrl = EndpointRow::kAfterBaseUrl;
constexpr EndpointRow::Base kHost = EndpointRow::kAfterHost;

// The ":443" some targets carry is part of the URL the engine has always built; the request
// still goes to the configured port.
constexpr std::array<EndpointRow, 15> kEndpoints = {{
    {kLogin, kPost, kUrl, "/QX/loginok.asp", "loginid={}&loginpass={}&lmode=QX&Ver=1.0.0.0"},
    {kUserInfo, kGet, kUrl, ":443/Ajax/GetUserInfo.asp", ""},
    {kLogout, kGet, kHost, "/Member/logout.asp?lmode=QX", ""},
    {kSendCheck, kPost, kUrl, "/QX/sendablecheck.asp", "type={}&totcnt={}&reserdate={}"},
    {kSentReport, kPost, kUrl, "/QX/sended.asp", "{}"},
    {kCatalogueTypes, kGet, kUrl, ":443/Ajax/GetCatText.asp?type={}&gubun=1", ""},
    {kCatalogueCount, kGet, kUrl, "/Ajax/GetEmoticonCNT.asp?gseq={}&type={}&mode=", ""},
    {kCataloguePage, kGet, kUrl, "/Ajax/GetEmoticon.asp?gseq={}&type={}&mode=&pg={}&ps={}", ""},
    {kSavedCount, kGet, kUrl, ":443/Ajax/GetEmoticonCNT.asp?mode=user&type={}", ""},
    {kSavedPage, kGet, kUrl, ":443/Ajax/GetEmoticon.asp?mode=user&type={}&ps={}&pg={}", ""},
    {kSaveMessage, kPost, kUrl, ":443/Ajax/SaveEmoticon.asp", "msg={}&subject={}&msgtype={}"},
    {kResultTotals, kGet, kUrl, "/Ajax/GetSendResultCNT.asp?sdate={}&edate={}", ""},
    {kStatTotals, kGet, kUrl,
     ":443/Ajax/GetSendStatCNT.asp?sdate={}&edate={}&msgtype={}&account=&rsltcode={}&numflag={}"
     "&phone={}",
     ""},
    {kStatPage, kGet, kUrl,
     "/Ajax/GetSendStat.asp?sdate={}&edate={}&msgtype={}&account=&rsltcode={}&numflag={}"
     "&phone={}&pg={}&ps={}",
     ""},
    {kDailyStat, kGet, kUrl, ":443/Ajax/GetDailyStat.asp?syy={}&smm={}&eyy={}&emm={}", ""},
}};

constexpr std::string_view kSlot = "{}";

// `pattern` with each "{}" replaced by the next argument (passed through `code`).
template <typename Code>
std::string Fill(std::string_view pattern, const std::vector<std::string_view>& args, size_t* next,
                 Code code) {
  std::string out;
  for (size_t at = pattern.find(kSlot); at != std::string_view::npos; at = pattern.find(kSlot)) {
    out += pattern.substr(0, at);
    out += code(*next < args.size() ? args[*next] : std::string_view());
    ++*next;
    pattern.remove_prefix(at + kSlot.size());
  }
  out += pattern;
  return out;
}

}  // namespace

std::span<const EndpointRow> EndpointTable() { return kEndpoints; }

WebRequest RequestFor(std::string_view base_url, Endpoint endpoint,
                      std::initializer_list<std::string_view> args) {
  const EndpointRow& row = kEndpoints[static_cast<size_t>(endpoint)];
  const std::vector<std::string_view> values(args);
  size_t next = 0;
  auto as_is = [](std::string_view v) { return std::string(v); };
  const std::string target = Fill(row.target, values, &next, as_is);
  WebRequest request;
  request.method = row.method;
  if (row.base == kHost) {
    request.target = TargetOf(base_url);
    request.target.object = target;
  } else {
    request.target = TargetOf(std::string(base_url) + target);
  }
  if (row.form == kSlot) {
    request.form = Fill(row.form, values, &next, as_is);
  } else {
    request.form =
        Fill(row.form, values, &next, [](std::string_view v) { return EncodeFormValue(v); });
  }
  return request;
}

}  // namespace parley
