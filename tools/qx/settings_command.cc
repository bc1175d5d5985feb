#include "qx/settings_command.h"

#include <optional>
#include <ostream>

#include "client/engine_refusal.h"
#include "protocol/rules_messages.h"
#include "qx/exit_codes.h"
#include "qx/text_table.h"
#include "text/cp949.h"

namespace parley {

int RunSettingsCommand(const SettingsOptions& options, const LinkTarget& target, std::ostream& out,
                       std::ostream& err) {
  const Language lang = options.language;
  std::string reply;
  const bool answered =
      options.set
          ? AskOnce(target, "SETPT", protocol::SettingRequest{options.name, options.value}.Build(),
                    &reply, err)
          : AskOnce(target, "SETGT", "", &reply, err);
  if (!answered) return kExitNoEngine;
  const std::optional<protocol::SettingsReply> settings = protocol::SettingsReply::Parse(reply);
  if (!settings) {
    err << (options.set ? "qx settings set: " : "qx settings: ")
        << Word(lang, EngineRefusalVerdict(reply)) << "\n";
    return kExitRefused;
  }
  if (options.set) {
    out << Text(lang, Msg::kSettingSaved, {options.name, options.value}) << "\n";
  }
  TextTable table(Headings(lang, Msg::kSettingsHeadings), Text(lang, Msg::kTableEmpty));
  table.AddRow({"business_name", AnsiToUtf8(settings->business_name)});
  table.AddRow({"optout_number", settings->optout_number});
  table.AddRow({"optout_applies", settings->optout_applies});
  table.AddRow({"own_number", settings->own_number});
  table.Print(out);
  return kExitOk;
}

}  // namespace parley
