// The engine's sending-rule data (settings and registered callbacks) for a send that qx plans,
// and the recipients' night consent confirmed again at a terminal.
#ifndef PARLEY_QX_RULES_DATA_H_
#define PARLEY_QX_RULES_DATA_H_

#include <iosfwd>
#include <optional>

#include "client/messages.h"
#include "client/send_rules.h"
#include "qx/link_session.h"

namespace parley {

// Asks SETGT and CBKLS on an open session; *data is left empty when the engine's replies are not
// such replies (an engine without the rules' commands). False when the engine did not answer.
bool AskRulesData(LinkSession& session, std::optional<RulesData>* data);

// An advertising send's night consent as it stands: with confirm, asked on err and read from
// standard input each time (anything but yes drops it, saying so on err).
bool ConfirmNightConsent(bool night_consent, bool confirm, Language language, std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_RULES_DATA_H_
