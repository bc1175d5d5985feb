// ENDQX: log out, or end the engine.
#ifndef PARLEY_COMMANDS_END_COMMAND_H_
#define PARLEY_COMMANDS_END_COMMAND_H_

#include <asio/awaitable.hpp>

namespace parley {

class Engine;

// The ENDQX handler with the body's integer value. 0 logs out of the web service and takes back
// the send permission; the dispatcher then answers with an empty ENDQX reply. Any other value
// first stops a running gateway job at its next acknowledgement boundary (as CANCL does) and
// waits for its command to post the sent report and answer; then it answers "EXIT" by itself and
// ends the engine about 1.5 seconds later; the call never returns.
asio::awaitable<void> OnEnd(Engine& engine, int value);

}  // namespace parley

#endif  // PARLEY_COMMANDS_END_COMMAND_H_
