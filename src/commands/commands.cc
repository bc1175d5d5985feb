#include "commands/commands.h"

#include "commands/end_command.h"
#include "commands/recent_numbers.h"
#include "link/flex_link.h"

namespace parley {

void InstallCommandHandlers(CFlexLink& link) {
  CommandDispatcher& d = link.dispatcher();
  d.SetEndHandler([&link](int value) { return OnEnd(link, value); });
  d.SetAfterSend([&link] { SaveRecentList(link); });
}

}  // namespace parley
