// STATE and CANCL, the extensions of the UI link: the engine's state and its current or last
// gateway job, and the request that stops the running job. Both answer at once, also while a send
// waits on the gateway.
#ifndef PARLEY_COMMANDS_STATUS_COMMANDS_H_
#define PARLEY_COMMANDS_STATUS_COMMANDS_H_

#include <string>

namespace parley {

class Engine;

// STATE: the version, the engine directory, the address book's absolute path, the login flag
// and id, and the session's job record (protocol::StateReply). The body is ignored.
std::string OnState(Engine& engine, const std::string& body);

// CANCL: "1" when a running job was asked to stop at its next acknowledgement boundary, "0" when
// no job is running. The body is ignored.
std::string OnCancel(Engine& engine, const std::string& body);

}  // namespace parley

#endif  // PARLEY_COMMANDS_STATUS_COMMANDS_H_
