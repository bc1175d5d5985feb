// The UI-link server: listens for the UI program, reads framed messages from one connection at
// a time, hands each to a message handler and writes the replies back whole.
//
// A connected client may stay idle as long as it likes, but a message it has begun must arrive
// whole within the message time-out, or the connection is dropped (with a warning) so that the
// next client is served. Messages taken in and replies not yet written are bounded in number and
// bytes: past the bounds the server stops reading until replies have been written.
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

  // Handles one message and returns the complete reply, or an empty text for none. It gets the
  // header and body decoded to CP949, and the body also as it arrived (UTF-8), for the fields
  // that must reach the file system unchanged. While a handler waits, the server goes on reading
  // and handling the next messages; a reply is queued when its handler returns and written
  // whole, never interleaved with another.
  using MessageHandler = std::function<asio::awaitable<std::string>(
      std::string header, std::string body, std::string sent_body)>;

  LinkServer(asio::io_context& io, MessageHandler handler,
             std::chrono::milliseconds message_timeout = kDefaultMessageTimeout);
  ~LinkServer();
  LinkServer(const LinkServer&) = delete;
  LinkServer& operator=(const LinkServer&) = delete;

  // Called after a connection has ended, before the next one is accepted.
  void SetOnClosed(std::function<void()> on_closed);

  // Binds and listens; port 0 picks a free port. Returns the error on failure.
  std::error_code Listen(const std::string& address, uint16_t port);
  uint16_t port() const;

  // Starts accepting. A connection that arrives while one is open waits in the listen queue
  // until the open one ends.
  void Start();

  // Queues a complete message on the open connection; dropped when none is open.
  void Send(std::string message);

  // Stops handling further messages (the engine is ending); replies already queued still go.
  void StopHandling();

  // Returns once the connection's replies waiting to be written are within the server's bound,
  // at once when there is no connection.
  asio::awaitable<void> WaitForReplyRoom();

 private:
  class Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace parley

#endif  // PARLEY_LINK_LINK_SERVER_H_
