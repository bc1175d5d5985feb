// qx book optout and qx book callbacks: the engine's opt-out list (OPTLS, OPTAD, OPTRM) and its
// registered callback numbers (CBKLS, CBKAD, CBKRM), listed, added to and taken from; the opt-out
// list also read from and written to files. Text in and out is UTF-8.
#ifndef PARLEY_QX_RULES_LIST_COMMAND_H_
#define PARLEY_QX_RULES_LIST_COMMAND_H_

#include <iosfwd>
#include <string>
#include <vector>

#include "client/messages.h"
#include "qx/link_session.h"

namespace parley {

struct RulesListOptions {
  std::string list;                  // "optout" or "callbacks"; empty: no list was named
  std::string action;                // list, add, remove, import or export
  std::vector<std::string> numbers;  // add, remove: lists of numbers (split by the engine)
  std::string note;                  // add, import: the opt-out note or the callback label
  std::string file;                  // import: a file of numbers; export: the file written
  Language language = Language::kEnglish;
};

// Runs the action against the engine at target. A listing is a table on out; an addition says
// how many numbers were added and were there already, and names each refused item on err; a
// removal how many were taken off. Returns kExitOk; kExitUsage when an item was refused (the
// others are still added) or the import file cannot be read or the export file written;
// kExitRefused when the engine refused; kExitNoEngine.
int RunRulesListCommand(const RulesListOptions& options, const LinkTarget& target,
                        std::ostream& out, std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_RULES_LIST_COMMAND_H_
