// PageHttpServer: cpp-httplib's server with connections that cannot hold the page up.
//
// httplib serves each connection on one of a fixed pool of threads and reads with a time-out per
// read, so a client that sends a byte of its header every few seconds, or that connects and says
// nothing, keeps a thread for ever: eight of them froze the page, and the stop button of a send
// got no answer. Here:
//   - each connection has a thread of its own, so a slow one holds up nobody else;
//   - a request must arrive whole (header and body) within kRequestReadTime of its first byte,
//     and an idle connection is closed after the keep-alive time (set_keep_alive_timeout);
//   - each local user (the owner of the connecting socket, from /proc/net/tcp) has at most
//     kConnectionsPerUser connections: past that, the user's oldest connection that has not
//     carried a session is closed for the new one, so a flood of idle or slow connections
//     cannot shut the user's own browser out, and another user's connections never count
//     against the user's.
// The session check marks a connection as the browser's (AdmitCurrentConnection); such a
// connection is never closed for another.
#ifndef PARLEY_UI_PAGE_HTTP_SERVER_H_
#define PARLEY_UI_PAGE_HTTP_SERVER_H_

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <mutex>

namespace parley {

class PageHttpServer : public httplib::Server {
 public:
  static constexpr auto kRequestReadTime = std::chrono::seconds(15);
  static constexpr size_t kConnectionsPerUser = 16;

  PageHttpServer();

  // Called while a request is handled: its connection carried a session.
  static void AdmitCurrentConnection();

 private:
  struct Connection {
    int fd = -1;
    int64_t user = -1;  // the uid of the peer's socket; -1 when it cannot be told
    std::atomic<bool> admitted{false};
    bool closing = false;  // closed for a newer connection of the same user
  };

  bool process_and_close_socket(socket_t sock) override;
  // Registers the connection; nullptr when it is refused (the user's connections all carry a
  // session).
  Connection* Enter(int fd);
  void Leave(Connection* connection);
  void Serve(Connection& connection);
  bool Stopping() const { return svr_sock_ == INVALID_SOCKET; }

  std::mutex mutex_;
  std::list<Connection> connections_;  // oldest first
};

}  // namespace parley

#endif  // PARLEY_UI_PAGE_HTTP_SERVER_H_
