// qx results and qx stats: the results of past sends (SENDL) and the daily usage statistics
// (CASHL), shown as aligned tables.
#ifndef PARLEY_QX_RESULTS_COMMAND_H_
#define PARLEY_QX_RESULTS_COMMAND_H_

#include <iosfwd>
#include <string>

#include "client/messages.h"
#include "qx/link_session.h"

namespace parley {

struct ResultsOptions {
  std::string from;    // start date, e.g. 2024-03-01; empty: no bound
  std::string to;      // end date
  std::string kind;    // SMS, LMS, MMS; empty: all
  std::string result;  // result code; empty: all
  std::string phone;   // only jobs whose sender number contains this
  int page = 1;
  int size = 20;
  Language language = Language::kEnglish;
};

struct StatsOptions {
  std::string from;  // start month YYYY-MM; empty: no bound
  std::string to;    // end month
  Language language = Language::kEnglish;
};

// The SENDL body: selector 1 (totals and list), the dates, kind, result code, page, page size,
// an empty number flag and the phone.
std::string ResultsBody(const ResultsOptions& options);

// The CASHL body: start year, start month, end year, end month. False when a month is not
// YYYY-MM (or YYYYMM).
bool StatsBody(const StatsOptions& options, std::string* body);

// Both need a login: when the engine says none is active they print "not logged in" and return
// kExitRefused. Return kExitOk, kExitRefused for a reply that is not in the expected form,
// kExitUsage, kExitNoEngine.
int RunResultsCommand(const ResultsOptions& options, const LinkTarget& target, std::ostream& out,
                      std::ostream& err);
int RunStatsCommand(const StatsOptions& options, const LinkTarget& target, std::ostream& out,
                    std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_RESULTS_COMMAND_H_
