#include "web/stat_calls.h"

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
// The web row columns a list row keeps, in order.
constexpr std::array<size_t, 7> kListColumns = {0, 3, 4, 5, 6, 12, 13};

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

std::string NullToEmpty(std::string_view text) {
  return text == "NULL" ? std::string() : std::string(text);
}

std::string FormatResultCount(std::string_view reply, int n) {
  std::string text(reply);
  const size_t columns = ReplaceAll(text, "<COL>", "`");
  const std::string head = std::to_string(n) + "<QX>";
  if (columns == 0) {
    if (n == 3) return Join({head, reply, ",0,0,", reply, "<DATA>"});
    return Join({head, "0,0,0,", reply, "<DATA>"});
  }
  const std::vector<std::string_view> f = SplitFields(text, '`');
  auto field = [&f](size_t i) { return i < f.size() ? f[i] : std::string_view(); };
  return Join({head, field(0), ",", field(1), ",", field(2), ",", field(3), "<DATA>"});
}

std::string FormatSendStatRows(const StatRequest& request, std::string_view reply) {
  const std::string text = Replaced(reply, "<BR>", "`");
  const std::vector<std::string_view> rows = SplitFields(text, '`');
  const int limit = Atoi(request.page_size);
  std::string list;
  for (size_t i = 0; static_cast<long>(i) < limit && i < rows.size() && !rows[i].empty(); ++i) {
    list += FormatStatRow(rows[i]);
  }
  return list;
}

std::string FormatStatRow(std::string_view row) {
  const std::string text = Replaced(row, "<COL>", "`");
  const std::vector<std::string_view> columns = SplitFields(text, '`');
  std::string out;
  for (size_t i = 0; i < kListColumns.size(); ++i) {
    const size_t c = kListColumns[i];
    if (c < columns.size()) out += columns[c];
    out += i + 1 < kListColumns.size() ? "<QX>" : "<END>";
  }
  return out;
}

}  // namespace parley
