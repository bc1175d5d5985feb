#include "commands/content_commands.h"

#include <initializer_list>
#include <string_view>

#include "link/flex_link.h"
#include "text/mbcs.h"
#include "web/catalogue_calls.h"
#include "web/stat_calls.h"

namespace parley {
namespace {

constexpr std::string_view kFirstPage = "<FIRST>";
constexpr std::string_view kSep = "<QX>";

// Sends a GET and returns its reply text (empty when the request failed).
std::string Fetch(CFlexLink& link, const WebTarget& target) {
  link.web.GetPage(target.server, target.object);
  return link.web.GetReply();
}

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out += p;
  return out;
}

}  // namespace

std::string OnMyMsg(CFlexLink& link, const std::string& body) {
  const std::string& base = link.config().web_base;
  const QxFields f(body);
  const std::string_view command = f[0];
  if (command == "CNT") {
    const std::string sms = Fetch(link, GetUserEmoticonCNT(base, "SMS"));
    const std::string lms = Fetch(link, GetUserEmoticonCNT(base, "LMS"));
    const std::string page = Fetch(link, GetUserEmoticon(base, "SMS", f[2], f[1]));
    return Join({"CNT", kSep, sms, kSep, lms, kSep, page});
  }
  if (command == "SMS" || command == "LMS") {
    const std::string page = Fetch(link, GetUserEmoticon(base, command, f[2], f[1]));
    return Join({command, kSep, page});
  }
  if (command == "SAVE") {
    WebTarget target;
    const std::string form = SaveEmoticon(base, f[1], f[2], f[3], &target);
    link.web.PostForm(form, target.server, target.object);
    return Join({"SAVE", kSep, ExtractQuotedText(link.web.reply())});
  }
  return std::string();
}

std::string OnEmotn(CFlexLink& link, const std::string& body) {
  const std::string& base = link.config().web_base;
  if (std::string_view(body).substr(0, kFirstPage.size()) == kFirstPage) {
    const QxFields f(std::string_view(body).substr(kFirstPage.size()));
    const std::string categories = Fetch(link, GetCatText(base, f[0]));
    const std::string count = Fetch(link, GetEmoticonCNT(base, "", f[0]));
    const std::string page = Fetch(link, GetEmoticon(base, "", f[0], f[1], f[2]));
    return Join({kFirstPage, categories, kSep, count, kSep, page});
  }
  const QxFields f(body);
  const std::string count = Fetch(link, GetEmoticonCNT(base, f[1], f[0]));
  const std::string page = Fetch(link, GetEmoticon(base, f[1], f[0], f[2], f[3]));
  return Join({count, kSep, page});
}

std::string OnSendL(CFlexLink& link, const std::string& body) {
  const std::string& base = link.config().web_base;
  const QxFields f(body);
  const int selector = Atoi(f[0]);
  const std::string_view start_date = f[1];
  const std::string_view end_date = f[2];

  std::string count_line;
  if (selector == 1) {
    StatRequest totals;
    totals.GetSendResultCNT(base, start_date, end_date);
    count_line = FormatResultCount(Fetch(link, totals.target), selector);
  } else if (selector != 2) {
    StatRequest totals;
    totals.GetSendStatCNT(base, start_date, end_date, body);
    count_line = FormatResultCount(Fetch(link, totals.target), selector);
  }
  StatRequest list;
  list.GetSendStat(base, start_date, end_date, body);
  const std::string rows = FormatSendStatRows(list, Fetch(link, list.target));
  if (selector == 2) return "2<DATA>" + rows;
  return count_line + rows;
}

std::string OnCashL(CFlexLink& link, const std::string& body) {
  StatRequest daily;
  daily.GetDailyStat(link.config().web_base, body);
  return Fetch(link, daily.target);
}

}  // namespace parley
