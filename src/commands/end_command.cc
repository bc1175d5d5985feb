#include "commands/end_command.h"

#include "engine/engine.h"
#include "link/command_table.h"
#include "link/message.h"
#include "web/web_service.h"

namespace parley {

asio::awaitable<void> OnEnd(Engine& engine, int value) {
  if (value == 0) {
    // Ends the login at the web service; the reply is not read. The engine keeps its login id
    // and password, but no send may go out until the next passed send check.
    engine.session().set_send_permission(0);
    engine.session().set_logged_in(false);
    co_await engine.services().web().Logout();
    co_return;
  }
  engine.link().SendToUi(MakeMessage(kCommandCodes[kCmdEndQx], "EXIT"));
  co_await engine.link().EndEngine();
}

}  // namespace parley
