// ASEND: a message to whole address-book groups plus individual numbers.
#ifndef PARLEY_COMMANDS_ASEND_COMMAND_H_
#define PARLEY_COMMANDS_ASEND_COMMAND_H_

#include <string>

#include <asio/awaitable.hpp>

namespace parley {

class Engine;

// The ASEND handler. Modes (field 0) 1 (SMS) and 2 or 3 (MMS) run SendGroup with the order of
// the body's GroupSendRequest (GroupOrderOf), the address book answering the group lookups; any
// other mode sends nothing. The send permission is neither read nor changed and no sent report is
// posted. The reply is always the user information string, whatever the send's outcome.
asio::awaitable<std::string> OnASend(Engine& engine, std::string body);

}  // namespace parley

#endif  // PARLEY_COMMANDS_ASEND_COMMAND_H_
