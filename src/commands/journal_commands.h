// JOBLS and JOBEX, extensions of the UI link over the send journal: the newest jobs with their
// counts per recipient state, and one job's recipients with their states written to a file.
#ifndef PARLEY_COMMANDS_JOURNAL_COMMANDS_H_
#define PARLEY_COMMANDS_JOURNAL_COMMANDS_H_

#include <string>

namespace parley {

class Engine;

// JOBLS: protocol::JobListReply of the newest jobs (empty without a journal).
std::string OnJobList(Engine& engine, const std::string& body);

// JOBEX: writes the job's recipients as CSV (UTF-8: place, number, state, content; a header row
// first) to the path given, replacing the file; answers the number written, or
// "Exception:[<reason>]" for an unknown job, a journal that is not open or a file that cannot be
// written.
std::string OnJobExport(Engine& engine, const std::string& body);

}  // namespace parley

#endif  // PARLEY_COMMANDS_JOURNAL_COMMANDS_H_
