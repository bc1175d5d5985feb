#include "commands/commands.h"

#include "commands/address_commands.h"
#include "commands/asend_command.h"
#include "commands/content_commands.h"
#include "commands/dsend_command.h"
#include "commands/end_command.h"
#include "commands/excel_commands.h"
#include "commands/login_command.h"
#include "commands/recent_numbers.h"
#include "link/flex_link.h"

namespace parley {

void InstallCommandHandlers(CFlexLink& link) {
  CommandDispatcher& d = link.dispatcher();
  auto sync = [&link](std::string (*handler)(CFlexLink&, const std::string&)) {
    return SyncHandler([&link, handler](const std::string& text) { return handler(link, text); });
  };
  d.SetHandler(kCmdLogin, sync(&OnLogin));
  d.SetHandler(kCmdAddrB, sync(&OnAddrB));
  d.SetHandler(kCmdMyMsg, sync(&OnMyMsg));
  d.SetHandler(kCmdEmotn, sync(&OnEmotn));
  d.SetHandler(kCmdSendL, sync(&OnSendL));
  d.SetHandler(kCmdCashL, sync(&OnCashL));
  d.SetHandler(kCmdDSend, [&link](CommandBody b) { return OnDSend(link, std::move(b.text)); });
  d.SetHandler(kCmdASend, [&link](CommandBody b) { return OnASend(link, std::move(b.text)); });
  d.SetHandler(kCmdExcel, [&link](CommandBody b) { return OnExcel(link, std::move(b)); });
  d.SetHandler(kCmdESend, [&link](CommandBody b) { return OnESend(link, std::move(b.text)); });
  d.SetEndHandler([&link](int value) { return OnEnd(link, value); });
  d.SetAfterSend([&link] { SaveRecentList(link); });
}

}  // namespace parley
