// qx settings: the engine's sending-rule settings (SETGT), and one of them changed (SETPT):
// business_name, optout_number, optout_applies (ad or all) and own_number.
#ifndef PARLEY_QX_SETTINGS_COMMAND_H_
#define PARLEY_QX_SETTINGS_COMMAND_H_

#include <iosfwd>
#include <string>

#include "client/messages.h"
#include "qx/link_session.h"

namespace parley {

struct SettingsOptions {
  bool set = false;   // qx settings set NAME VALUE
  std::string name;   // set: the setting
  std::string value;  // set: its value; empty clears it
  Language language = Language::kEnglish;
};

// Shows the settings as a table on out, after a change the line saying it. Returns kExitOk;
// kExitRefused when the engine refused the name or the value (in the user's words on err);
// kExitNoEngine.
int RunSettingsCommand(const SettingsOptions& options, const LinkTarget& target, std::ostream& out,
                       std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_SETTINGS_COMMAND_H_
