// qx jobs: the send journal through the engine: the newest jobs with their counts per recipient
// state (JOBLS), one job (JOBSH), sending a job's rest again (JOBRS, with progress and Ctrl-C as
// qx send has them), exporting a job's recipients and their states (JOBEX) and forgetting old
// jobs (JOBFG).
#ifndef PARLEY_QX_JOBS_COMMAND_H_
#define PARLEY_QX_JOBS_COMMAND_H_

#include <cstdint>
#include <iosfwd>
#include <string>

#include "client/messages.h"
#include "qx/link_session.h"

namespace parley {

struct JobsOptions {
  Language language = Language::kEnglish;
  std::string action = "list";  // "list", "show", "resend", "export" or "forget"
  int64_t job = 0;              // show, resend, export
  int64_t limit = 20;           // list
  bool include_in_doubt = false;
  bool yes = false;
  bool confirm = false;  // ask before a resend or a forget (set when stdin is a terminal)
  std::string progress = "auto";
  std::string csv;     // export: the file, one of csv and xlsx
  std::string xlsx;    //
  bool force = false;  // export: replace a regular file already there
  std::string before;  // forget: "YYYY-MM-DD", local time
};

int RunJobsCommand(const JobsOptions& options, const LinkTarget& target, std::ostream& out,
                   std::ostream& err);

// The start of day (local time) of "YYYY-MM-DD" in Unix seconds; false when it is no such date.
bool LocalDayStart(std::string_view date, int64_t* seconds);

}  // namespace parley

#endif  // PARLEY_QX_JOBS_COMMAND_H_
