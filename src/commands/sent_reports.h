// Posting sent reports to the web service through the send journal: each report is kept there
// first, posted after its send, and posted again (at most once per the configured gap) after the
// next send and the next login until the web service has answered it; one it answered is never
// posted again.
#ifndef PARLEY_COMMANDS_SENT_REPORTS_H_
#define PARLEY_COMMANDS_SENT_REPORTS_H_

#include <string>

#include <asio/awaitable.hpp>

namespace parley {

class Engine;

// Posts the reports the journal holds that are due, oldest first, and stops at the first that
// does not reach the web service. `report`, when not empty, is the report of the send just made:
// it is posted here even when the journal could not keep it.
asio::awaitable<void> PostSentReports(Engine& engine, std::string report);

}  // namespace parley

#endif  // PARLEY_COMMANDS_SENT_REPORTS_H_
