// The UI-link extensions over the send journal: JOBLS (the newest jobs with their counts per
// recipient state), JOBSH (one job), JOBEX (one job's recipients with their states, written to a
// file), JOBRS (send a job's rest again, as a new job linked to it) and JOBFG (forget old jobs).
#ifndef PARLEY_COMMANDS_JOURNAL_COMMANDS_H_
#define PARLEY_COMMANDS_JOURNAL_COMMANDS_H_

#include <string>

#include <asio/awaitable.hpp>

#include "link/dispatch.h"

namespace parley {

class Engine;

// JOBLS: protocol::JobListReply of the newest jobs (empty without a journal).
std::string OnJobList(Engine& engine, const std::string& body);

// JOBSH: a protocol::JobListReply of the one job named, or "Exception:[<reason>]" when there is
// no such job or no journal.
std::string OnJobShow(Engine& engine, const std::string& body);

// JOBEX: writes the job's recipients (place, number, state, content; a header row first) to the
// path given (its bytes as sent), as CSV (UTF-8, every field quoted, a leading formula character
// neutralised) or as an xlsx workbook. The file is made new: one already there is replaced only
// when the request asks, and only a regular one (never a link, a pipe or a device). Answers the
// number written, or "Exception:[<reason>]" for an unknown job or format, a journal that is not
// open, a file already there or one that cannot be written.
asio::awaitable<std::string> OnJobExport(Engine& engine, CommandBody body);

// JOBFG: forgets the ended jobs started before the time given, except those whose sent report
// has not reached the web service; answers protocol::JobForgetReply.
std::string OnJobForget(Engine& engine, const std::string& body);

// JOBRS: sends the rest of a job again as a new job (protocol::JobResendReply): its recipients
// not sent, and those in doubt when asked, each with its own text or package, after the web
// service's send check. Refused ("Exception:[<reason>]", nothing sent) when logged out, for an
// unknown or running job, a job whose rest was sent already (the newer job is named), one with
// nothing left, or one whose packages were not kept.
asio::awaitable<std::string> OnJobResend(Engine& engine, std::string body);

}  // namespace parley

#endif  // PARLEY_COMMANDS_JOURNAL_COMMANDS_H_
