// The command handlers of the UI link.
#ifndef PARLEY_COMMANDS_COMMANDS_H_
#define PARLEY_COMMANDS_COMMANDS_H_

namespace parley {

class CFlexLink;

// Plugs every command handler into the engine's dispatcher.
void InstallCommandHandlers(CFlexLink& link);

}  // namespace parley

#endif  // PARLEY_COMMANDS_COMMANDS_H_
