// LOGIN: the saved login id, or a login at the web service; and the account figures that the
// send commands return after a send.
#ifndef PARLEY_COMMANDS_LOGIN_COMMAND_H_
#define PARLEY_COMMANDS_LOGIN_COMMAND_H_

#include <string>

namespace parley {

class Engine;

// The LOGIN handler. A body of fewer than 7 bytes asks for the saved login id: "1<QX>", or
// "1<QX>" + id + "<QX>" when one is saved. Otherwise the body is id, password and optionally
// "SAVE" (separated by "<QX>"), the user is logged in and the reply is DoLogin's text, "<QX>",
// the engine directory and "<QX>".
std::string OnLogin(Engine& engine, const std::string& body);

// Logs in with the LOGIN arguments. Stores the login id and password in the engine whether or
// not the web service accepts them. Accepted: prepares the user's table in the address book,
// saves or forgets the login id as asked, loads the recent numbers and returns "2<QX>1" followed
// by the user information string. Refused: the send permission is taken back (DSEND and ESEND
// send nothing until the next passed send check) and the reply is "2<QX>" + the reply's first
// character (a NUL byte for an empty reply) + "<QX>".
std::string DoLogin(Engine& engine, const std::string& body);

// Fetches the account figures: the user information string (six fields, each after "<QX>").
std::string RefreshUserInfo(Engine& engine);

}  // namespace parley

#endif  // PARLEY_COMMANDS_LOGIN_COMMAND_H_
