#include "commands/content_commands.h"

#include <initializer_list>
#include <string_view>

#include "engine/engine_services.h"
#include "text/mbcs.h"
#include "web/catalogue_calls.h"
#include "web/stat_calls.h"

namespace parley {
namespace {

constexpr std::string_view kFirstPage = "<FIRST>";
constexpr std::string_view kSep = "<QX>";

// Sends a GET and returns its reply text (empty when the request failed).
std::string Fetch(EngineServices& services, const WebTarget& target) {
  services.web().GetPage(target.server, target.object);
  return services.web().GetReply();
}

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out += p;
  return out;
}

}  // namespace

std::string OnMyMsg(EngineServices& services, const std::string& body) {
  const std::string& base = services.config().web_base;
  const QxFields f(body);
  const std::string_view command = f[0];
  if (command == "CNT") {
    const std::string sms = Fetch(services, GetUserEmoticonCNT(base, "SMS"));
    const std::string lms = Fetch(services, GetUserEmoticonCNT(base, "LMS"));
    const std::string page = Fetch(services, GetUserEmoticon(base, "SMS", f[2], f[1]));
    return Join({"CNT", kSep, sms, kSep, lms, kSep, page});
  }
  if (command == "SMS" || command == "LMS") {
    const std::string page = Fetch(services, GetUserEmoticon(base, command, f[2], f[1]));
    return Join({command, kSep, page});
  }
  if (command == "SAVE") {
    WebTarget target;
    const std::string form = SaveEmoticon(base, f[1], f[2], f[3], &target);
    services.web().PostForm(form, target.server, target.object);
    return Join({"SAVE", kSep, ExtractQuotedText(services.web().reply())});
  }
  return std::string();
}

std::string OnEmotn(EngineServices& services, const std::string& body) {
  const std::string& base = services.config().web_base;
  if (std::string_view(body).substr(0, kFirstPage.size()) == kFirstPage) {
    const QxFields f(std::string_view(body).substr(kFirstPage.size()));
    const std::string categories = Fetch(services, GetCatText(base, f[0]));
    const std::string count = Fetch(services, GetEmoticonCNT(base, "", f[0]));
    const std::string page = Fetch(services, GetEmoticon(base, "", f[0], f[1], f[2]));
    return Join({kFirstPage, categories, kSep, count, kSep, page});
  }
  const QxFields f(body);
  const std::string count = Fetch(services, GetEmoticonCNT(base, f[1], f[0]));
  const std::string page = Fetch(services, GetEmoticon(base, f[1], f[0], f[2], f[3]));
  return Join({count, kSep, page});
}

std::string OnSendL(EngineServices& services, const std::string& body) {
  const std::string& base = services.config().web_base;
  const QxFields f(body);
  const int selector = Atoi(f[0]);
  const std::string_view start_date = f[1];
  const std::string_view end_date = f[2];

  std::string count_line;
  if (selector == 1) {
    StatRequest totals;
    totals.GetSendResultCNT(base, start_date, end_date);
    count_line = FormatResultCount(Fetch(services, totals.target), selector);
  } else if (selector != 2) {
    StatRequest totals;
    totals.GetSendStatCNT(base, start_date, end_date, body);
    count_line = FormatResultCount(Fetch(services, totals.target), selector);
  }
  StatRequest list;
  list.GetSendStat(base, start_date, end_date, body);
  const std::string rows = FormatSendStatRows(list, Fetch(services, list.target));
  if (selector == 2) return "2<DATA>" + rows;
  return count_line + rows;
}

std::string OnCashL(EngineServices& services, const std::string& body) {
  StatRequest daily;
  daily.GetDailyStat(services.config().web_base, body);
  return Fetch(services, daily.target);
}

}  // namespace parley
