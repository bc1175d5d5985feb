// LOGIN: the saved login id, or a login at the web service; and the account figures that the
// send commands return after a send.
#ifndef PARLEY_COMMANDS_LOGIN_COMMAND_H_
#define PARLEY_COMMANDS_LOGIN_COMMAND_H_

#include <string>

#include <asio/awaitable.hpp>

#include "protocol/query_requests.h"
#include "protocol/replies.h"

namespace parley {

class Engine;

// The LOGIN handler. A body of fewer than 7 bytes asks for the saved login id: "1<QX>", or
// "1<QX>" + id + "<QX>" when one is saved. Otherwise the body is id, password and optionally
// "SAVE" (separated by "<QX>"), the user is logged in (DoLogin) and the reply ends with the
// engine directory and "<QX>".
asio::awaitable<std::string> OnLogin(Engine& engine, std::string body);

// Logs in with the LOGIN request. Stores the login id and password in the engine whether or not
// the web service accepts them. Accepted: prepares the user's table in the address book, saves
// or forgets the login id as asked, loads the recent numbers and answers with the account
// figures. Refused: the send permission is taken back (DSEND and ESEND send nothing until the
// next passed send check) and the reply carries the web service's first byte (a NUL byte for an
// empty reply).
asio::awaitable<std::string> DoLogin(Engine& engine, protocol::LoginRequest request);

// Fetches the account figures that every send reply ends with.
asio::awaitable<protocol::AccountFigures> RefreshUserInfo(Engine& engine);

}  // namespace parley

#endif  // PARLEY_COMMANDS_LOGIN_COMMAND_H_
