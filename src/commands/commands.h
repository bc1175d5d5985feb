// The command handlers of the UI link.
#ifndef PARLEY_COMMANDS_COMMANDS_H_
#define PARLEY_COMMANDS_COMMANDS_H_

namespace parley {

class Engine;

// Plugs every command handler into the engine's dispatcher. The recent numbers are stored after
// every DSEND, ESEND and ASEND, also one whose handler refused to send.
void InstallCommandHandlers(Engine& engine);

}  // namespace parley

#endif  // PARLEY_COMMANDS_COMMANDS_H_
