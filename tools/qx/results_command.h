// qx results and qx stats: the results of past sends (SENDL) and the daily usage statistics
// (CASHL), shown as aligned tables.
#ifndef PARLEY_QX_RESULTS_COMMAND_H_
#define PARLEY_QX_RESULTS_COMMAND_H_

#include <iosfwd>
#include <string>

#include "client/content_requests.h"
#include "client/messages.h"
#include "qx/link_session.h"

namespace parley {

// Both need a login: when the engine says none is active they print "not logged in" and return
// kExitRefused. Return kExitOk, kExitRefused for a reply that is not in the expected form,
// kExitUsage, kExitNoEngine.
int RunResultsCommand(const ResultsOptions& options, const LinkTarget& target, std::ostream& out,
                      std::ostream& err);
int RunStatsCommand(const StatsOptions& options, const LinkTarget& target, std::ostream& out,
                    std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_RESULTS_COMMAND_H_
