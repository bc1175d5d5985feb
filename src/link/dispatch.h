// Command dispatch: runs the handler of a message's command and frames its text as the reply.
#ifndef PARLEY_LINK_DISPATCH_H_
#define PARLEY_LINK_DISPATCH_H_

#include <array>
#include <functional>
#include <string>

#include <asio/awaitable.hpp>

#include "link/command_table.h"
#include "link/command_turn.h"

namespace parley {

// A message body as a handler gets it: as engine text, and as the UI program sent it.
struct CommandBody {
  std::string text;  // CP949, converted on arrival: what every field is read from
  // UTF-8, unconverted: for a file path, which must reach the file system as the UI program
  // named it (CP949 cannot hold every character a path may have)
  std::string sent;
};

// A command handler takes the message body and returns the reply body. Handlers are
// coroutines. The commands run one at a time in the order they came (see CommandTurn): one that
// waits for the web service keeps its turn, one that waits for the message gateway gives it up
// meanwhile (turn().Aside). A handler that throws leaves its message without a reply.
using CommandHandler = std::function<asio::awaitable<std::string>(CommandBody body)>;

// The ENDQX handler gets the body's integer value; its result is never part of a reply.
using EndHandler = std::function<asio::awaitable<void>(int value)>;

// Wraps a handler that never waits and reads the body's text only.
CommandHandler SyncHandler(std::function<std::string(const std::string& body)> handler);

class CommandDispatcher {
 public:
  // Installs the handler of a command number from kCmdLogin to kCmdJobEx, except kCmdEndQx
  // (SetEndHandler). A number without a handler answers with an empty body.
  void SetHandler(int number, CommandHandler handler);
  void SetEndHandler(EndHandler handler) { end_handler_ = std::move(handler); }
  // Returns the complete reply (header and body) to a message, or an empty text when there is no
  // reply to send (the ENDQX handler ended the engine and answered by itself). `header` is the
  // decoded CP949 text. Once the command has its turn, it awaits reply_room (room for its reply
  // on its own connection) before it runs.
  asio::awaitable<std::string> Dispatch(std::string header, CommandBody body,
                                        std::function<asio::awaitable<void>()> reply_room = {});

  // The turn the commands take; a handler that waits for the gateway gives it up meanwhile.
  CommandTurn& turn() { return turn_; }

 private:
  // The handler's reply body.
  asio::awaitable<std::string> Run(int number, CommandBody body);

  std::array<CommandHandler, kCommandCount> handlers_;
  EndHandler end_handler_;
  CommandTurn turn_;
};

}  // namespace parley

#endif  // PARLEY_LINK_DISPATCH_H_
