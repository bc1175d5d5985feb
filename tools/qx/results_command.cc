#include "qx/results_command.h"

#include <ostream>

#include "protocol/query_requests.h"
#include "qx/exit_codes.h"
#include "qx/reply_text.h"
#include "qx/status_command.h"
#include "qx/text_table.h"

namespace parley {
namespace {

using protocol::kDataTag;
using protocol::kRowEnd;
constexpr size_t kTitleColumns = 30;

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

// Asks code with body on a new session once the engine says a login is active: kExitOk with
// *reply, kExitRefused when no login is active, kExitNoEngine.
int AskLoggedIn(const LinkTarget& target, std::string_view who, std::string_view code,
                std::string_view body, Language language, std::string* reply, std::ostream& err) {
  LinkSession session(target, err);
  if (!session.Open()) return kExitNoEngine;
  bool connection_failed = false;
  if (!RequireLogin(session, who, language, err, &connection_failed)) {
    return connection_failed ? kExitNoEngine : kExitRefused;
  }
  return session.Ask(code, body, reply) ? kExitOk : kExitNoEngine;
}

}  // namespace

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

int RunResultsCommand(const ResultsOptions& options, const LinkTarget& target, std::ostream& out,
                      std::ostream& err) {
  std::string reply;
  if (const int status = AskLoggedIn(target, "results", "SENDL", ResultsBody(options),
                                     options.language, &reply, err);
      status != kExitOk) {
    return status;
  }
  // "1<QX>" four comma-separated totals "<DATA>", then rows of seven fields, each ending "<END>".
  const size_t data = reply.find(kDataTag);
  if (data == std::string::npos) {
    err << "qx results: unexpected reply \"" << ScreenText(reply) << "\"\n";
    return kExitRefused;
  }
  std::vector<std::string> count_line = SplitOn(std::string_view(reply).substr(0, data), kFieldSep);
  std::vector<std::string> totals =
      SplitOn(count_line.size() > 1 ? std::string_view(count_line[1]) : "", ",");
  totals.resize(4);
  // The engine turns an empty answer into "0,0,0," (as it always has): no fourth total.
  if (totals[3].empty()) {
    err << "qx results: the web service gave no answer (logged in?)\n";
    return kExitRefused;
  }
  out << "messages: " << totals[0] << " in all, " << totals[1] << " delivered, " << totals[2]
      << " failed, " << totals[3] << " waiting\n";
  TextTable table({"No", "Time", "Kind", "From", "Title", "Result", "Count"});
  for (const std::string& row :
       SplitOn(std::string_view(reply).substr(data + kDataTag.size()), kRowEnd)) {
    if (row.empty()) continue;
    std::vector<std::string> cells;
    for (const std::string& cell : SplitOn(row, kFieldSep)) cells.push_back(ScreenText(cell));
    cells.resize(7);
    cells[4] = Ellipsize(cells[4], kTitleColumns);
    table.AddRow(std::move(cells));
  }
  table.Print(out);
  return kExitOk;
}

int RunStatsCommand(const StatsOptions& options, const LinkTarget& target, std::ostream& out,
                    std::ostream& err) {
  std::string body;
  if (!StatsBody(options, &body)) {
    err << "qx stats: months are written YYYY-MM\n";
    return kExitUsage;
  }
  std::string reply;
  if (const int status = AskLoggedIn(target, "stats", "CASHL", body, options.language, &reply, err);
      status != kExitOk) {
    return status;
  }
  // The web service's rows as they come: day, short, long and picture messages, all; the last
  // row holds the totals.
  TextTable table({"Day", "SMS", "LMS", "MMS", "All"});
  for (auto& row : WebRows(reply)) table.AddRow(std::move(row));
  table.Print(out);
  return kExitOk;
}

}  // namespace parley
