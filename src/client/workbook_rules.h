// Korea's sending rules on a workbook send before the engine checks each row: the template's
// advertising marker and opt-out line, the night hours and a callback number outside the
// registered ones (a callback column is left to the engine).
#ifndef PARLEY_CLIENT_WORKBOOK_RULES_H_
#define PARLEY_CLIENT_WORKBOOK_RULES_H_

#include <cstdint>
#include <vector>

#include "client/send_rules.h"
#include "client/verdict.h"
#include "client/workbook_request.h"

namespace parley {

// The rules' verdicts on options (its reservation in the engine's form, empty: now) at the Unix
// time now_unix, as CheckSendRules gives them.
std::vector<Verdict> CheckWorkbookRules(const ExcelOptions& options, const RulesData& rules,
                                        int64_t now_unix);

}  // namespace parley

#endif  // PARLEY_CLIENT_WORKBOOK_RULES_H_
