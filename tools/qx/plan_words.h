// qx's words for the client core's verdicts and send plans: where a refused item came from in
// the command's own terms (a --to value, a file's line or row), and what a send will do.
#ifndef PARLEY_TOOLS_QX_PLAN_WORDS_H_
#define PARLEY_TOOLS_QX_PLAN_WORDS_H_

#include <iosfwd>
#include <string>

#include "client/send_plan.h"
#include "client/verdict.h"

namespace parley {

// Where a verdict's item came from, in the command's terms ("--to \"...\" item 2", "numbers.txt
// line 3", "list.csv row 4"); empty for an item of no list or file.
std::string WhereWords(Language language, const Verdict& verdict);

// The verdict as one line: where its item came from (when it came from a list or a file), then
// its words.
std::string VerdictLine(Language language, const Verdict& verdict);

// Prints every verdict of a refused plan on err, one a line, and returns false; or prints what
// will be sent (recipients, duplicates removed, kind and bytes, when) on out and returns true.
bool PrintPlan(const SendPlan& plan, const SendOptions& given, Language language, std::ostream& out,
               std::ostream& err);

}  // namespace parley

#endif  // PARLEY_TOOLS_QX_PLAN_WORDS_H_
