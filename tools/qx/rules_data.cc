#include "qx/rules_data.h"

#include <iostream>
#include <string>

#include "qx/terminal.h"

namespace parley {

bool AskRulesData(LinkSession& session, std::optional<RulesData>* data) {
  std::string settings;
  std::string callbacks;
  if (!session.Ask("SETGT", "", &settings) || !session.Ask("CBKLS", "", &callbacks)) return false;
  RulesData parsed;
  if (ParseRulesData(settings, callbacks, &parsed)) {
    *data = std::move(parsed);
  } else {
    data->reset();
  }
  return true;
}

bool ConfirmNightConsent(bool night_consent, bool confirm, Language language, std::ostream& err) {
  if (!night_consent || !confirm) return night_consent;
  if (AnswerIsYes(Text(language, Msg::kNightConsentAsk), std::cin, err)) return true;
  err << "qx: " << Text(language, Msg::kNightConsentDropped) << "\n";
  return false;
}

}  // namespace parley
