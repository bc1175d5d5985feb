#include "qx/results_command.h"

#include <ostream>

#include <optional>

#include "protocol/query_requests.h"
#include "protocol/replies.h"
#include "qx/exit_codes.h"
#include "qx/reply_text.h"
#include "qx/status_command.h"
#include "qx/text_table.h"

namespace parley {
namespace {

using protocol::kDataTag;
using protocol::kRowEnd;
constexpr size_t kTitleColumns = 30;

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

int RunResultsCommand(const ResultsOptions& options, const LinkTarget& target, std::ostream& out,
                      std::ostream& err) {
  std::string reply;
  if (const int status = AskLoggedIn(target, "results", "SENDL", ResultsBody(options),
                                     options.language, &reply, err);
      status != kExitOk) {
    return status;
  }
  const std::optional<protocol::SendResults> results = protocol::ParseSendResults(reply);
  if (!results) {
    err << "qx results: unexpected reply \"" << ScreenText(reply) << "\"\n";
    return kExitRefused;
  }
  const std::vector<std::string>& totals = results->totals;
  // The engine turns an empty answer into "0,0,0," (as it always has): no fourth total.
  if (totals[3].empty()) {
    err << "qx results: " << Text(options.language, Msg::kNoWebAnswer) << "\n";
    return kExitRefused;
  }
  out << Text(options.language, Msg::kResultsTotals, {totals[0], totals[1], totals[2], totals[3]})
      << "\n";
  TextTable table(Headings(options.language, Msg::kResultsHeadings),
                  Text(options.language, Msg::kTableEmpty));
  for (const protocol::SentJob& j : results->jobs) {
    table.AddRow({ScreenText(j.number), ScreenText(j.time), ScreenText(j.type),
                  ScreenText(j.callback), Ellipsize(ScreenText(j.title), kTitleColumns),
                  ScreenText(j.result), ScreenText(j.count)});
  }
  table.Print(out);
  return kExitOk;
}

int RunStatsCommand(const StatsOptions& options, const LinkTarget& target, std::ostream& out,
                    std::ostream& err) {
  std::string body;
  if (!StatsBody(options, &body)) {
    err << "qx stats: " << Text(options.language, Msg::kMonthFormat) << "\n";
    return kExitUsage;
  }
  std::string reply;
  if (const int status = AskLoggedIn(target, "stats", "CASHL", body, options.language, &reply, err);
      status != kExitOk) {
    return status;
  }
  // The web service's rows as they come: day, short, long and picture messages, all; the last
  // row holds the totals.
  TextTable table(Headings(options.language, Msg::kStatsHeadings),
                  Text(options.language, Msg::kTableEmpty));
  for (auto& row : WebRows(reply)) table.AddRow(std::move(row));
  table.Print(out);
  return kExitOk;
}

}  // namespace parley
