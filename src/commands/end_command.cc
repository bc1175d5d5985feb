#include "commands/end_command.h"

#include "link/command_table.h"
#include "link/flex_link.h"
#include "link/message.h"

namespace parley {

asio::awaitable<void> OnEnd(CFlexLink& link, int value) {
  if (value == 0) {
    // Logging out of the web service comes with the web client.
    co_return;
  }
  link.SendToUi(MakeMessage(kCommandCodes[kCmdEndQx], "EXIT"));
  co_await link.EndEngine();
}

}  // namespace parley
