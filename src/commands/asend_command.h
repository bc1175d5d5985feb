// ASEND: a message to whole address-book groups plus individual numbers.
#ifndef PARLEY_COMMANDS_ASEND_COMMAND_H_
#define PARLEY_COMMANDS_ASEND_COMMAND_H_

#include <string>

#include <asio/awaitable.hpp>

namespace parley {

class Engine;

// The ASEND handler. Mode (field 0) 1 runs SendGroupSms, 2 or 3 SendGroupMms, with the count of
// field 1 and the body (its "<QX>" replaced by backticks); any other mode sends nothing. The send
// permission is neither read nor changed and no sent report is posted. The reply is always the
// user information string, whatever the send's outcome.
asio::awaitable<std::string> OnASend(Engine& engine, std::string body);

}  // namespace parley

#endif  // PARLEY_COMMANDS_ASEND_COMMAND_H_
