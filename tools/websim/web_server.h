// The web service simulator's HTTP server: accepts connections, reads one request on each
// (within the caps of http_message.h), records it, applies the test controls of sim_controls.h
// and answers with the page of web_service.h, then closes the connection.
#ifndef PARLEY_WEBSIM_WEB_SERVER_H_
#define PARLEY_WEBSIM_WEB_SERVER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "websim/web_content.h"

namespace asio {
class io_context;
}

namespace parley::websim {

struct ServerOptions {
  std::string record_dir;         // where requests are recorded; empty for none
  std::vector<Account> accounts;  // besides the built-in one
  std::string cookie_path = "/";  // the path the session cookie is scoped to
};

class WebServer {
 public:
  WebServer(asio::io_context& io, ServerOptions options);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Opens the record directory and listens on address:port (0 picks a free port). Returns the
  // error on failure.
  std::error_code Listen(const std::string& address, uint16_t port);
  uint16_t port() const;
  // Starts accepting; the connections are served on the io_context.
  void Start();
  // Stops accepting; connections in progress end with the io_context.
  void Stop();

  // The server's shared state; defined in the .cc file.
  class State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace parley::websim

#endif  // PARLEY_WEBSIM_WEB_SERVER_H_
