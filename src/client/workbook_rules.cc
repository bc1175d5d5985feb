#include "client/workbook_rules.h"

#include "client/phone_number.h"

namespace parley {

std::vector<Verdict> CheckWorkbookRules(const ExcelOptions& options, const RulesData& rules,
                                        int64_t now_unix) {
  std::string callback;
  if (!options.callback.empty()) {
    const NumberResult number = NormalizeNumber(options.callback, NumberUse::kCallback);
    if (number.ok()) callback = number.number;
  }
  return CheckSendRules(rules, options.advert, options.night_consent, options.text, options.reserve,
                        callback, now_unix);
}

}  // namespace parley
