#include "commands/end_command.h"

#include "link/command_table.h"
#include "link/flex_link.h"
#include "link/message.h"
#include "web/account_calls.h"

namespace parley {

asio::awaitable<void> OnEnd(CFlexLink& link, int value) {
  if (value == 0) {
    // Ends the login at the web service; the reply is not read. The engine keeps its login id
    // and password, but no send may go out until the next passed send check.
    link.send_permission = 0;
    const WebTarget logout = BuildLogout(link.config().web_base);
    link.web.GetPage(logout.server, logout.object);
    co_return;
  }
  link.SendToUi(MakeMessage(kCommandCodes[kCmdEndQx], "EXIT"));
  co_await link.EndEngine();
}

}  // namespace parley
