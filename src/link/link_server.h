// The UI-link server: listens for the UI program and other front ends, reads framed messages from
// each connection, hands each to a message handler and writes the replies back whole, each
// connection's replies on that connection.
//
// The first connection taken while none is the UI program's becomes the UI program's: its end is
// reported (SetOnClosed), so the UI program can be launched again. Further front ends
// (qx beside the page) are served at the same time, up to kMaxConnections; the handler decides
// the order in which their commands run. A connected client may stay idle as long as it likes,
// but a message it has begun must arrive whole within the message time-out, or the connection is
// dropped (with a warning). Messages taken in and replies not yet written are bounded in number
// and bytes on each connection: past the bounds the server stops reading it until replies have
// been written.
#ifndef PARLEY_LINK_LINK_SERVER_H_
#define PARLEY_LINK_LINK_SERVER_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include <asio/awaitable.hpp>

namespace asio {
class io_context;
}

namespace parley {

class LinkServer {
 public:
  static constexpr std::chrono::milliseconds kDefaultMessageTimeout{30000};
  // Connections served at once; a further one waits in the listen queue until one ends.
  static constexpr int kMaxConnections = 8;

  // Returns once the replies of the message's own connection waiting to be written are within
  // the server's bound (at once when the connection has ended).
  using ReplyRoom = std::function<asio::awaitable<void>()>;

  // Handles one message and returns the complete reply, or an empty text for none. It gets the
  // header and body decoded to CP949, the body also as it arrived (UTF-8), for the fields that
  // must reach the file system unchanged, and the wait for room on its connection. While a
  // handler waits, the server goes on reading and handling the next messages; a reply is queued
  // when its handler returns and written whole, never interleaved with another.
  using MessageHandler = std::function<asio::awaitable<std::string>(
      std::string header, std::string body, std::string sent_body, ReplyRoom room)>;

  LinkServer(asio::io_context& io, MessageHandler handler,
             std::chrono::milliseconds message_timeout = kDefaultMessageTimeout);
  ~LinkServer();
  LinkServer(const LinkServer&) = delete;
  LinkServer& operator=(const LinkServer&) = delete;

  // Called after the UI program's connection has ended.
  void SetOnClosed(std::function<void()> on_closed);

  // Binds and listens; port 0 picks a free port. Returns the error on failure.
  std::error_code Listen(const std::string& address, uint16_t port);
  uint16_t port() const;

  // Starts accepting.
  void Start();

  // Queues a complete message the engine sends by itself (its EXIT as it ends) on every open
  // connection: the UI program's and any other front end's.
  void Send(std::string message);

  // Stops handling further messages (the engine is ending); replies already queued still go.
  void StopHandling();

 private:
  class Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace parley

#endif  // PARLEY_LINK_LINK_SERVER_H_
