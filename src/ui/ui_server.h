// UiServer: the web UI's HTTP server on a loopback address of its own: the page (index.html,
// app.js, style.css from the folder installed beside parley-ui) and the calls of UiApi under
// /api/, behind the checks of ui_guard.h (one-time tokens exchanged for a session cookie, the
// Host, the Origin of anything that changes state) and with a strict Content-Security-Policy on
// every answer. Request bodies are capped.
#ifndef PARLEY_UI_UI_SERVER_H_
#define PARLEY_UI_UI_SERVER_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ui/ui_guard.h"

namespace httplib {
class Server;
}

namespace parley {

class UiLink;

struct UiServerOptions {
  std::filesystem::path static_dir;     // index.html, app.js, style.css
  size_t max_request_bytes = 20 << 20;  // a larger request is refused (413)
  std::string address;                  // of 127.0.0.0/8; empty: a random one (ui_guard.h)
};

class UiServer {
 public:
  UiServer(UiLink& link, UiServerOptions options);
  ~UiServer();
  UiServer(const UiServer&) = delete;
  UiServer& operator=(const UiServer&) = delete;

  // Binds the address (a random loopback address unless one is given; 127.0.0.1 when no random
  // one can be bound) and port (0: a free port). Returns the port, or 0 when it cannot bind.
  int Bind(int port);
  // The address the page is served on, once bound.
  const std::string& address() const { return address_; }
  // A new address that opens the page once ("http://ADDRESS:PORT/?token=..."); empty without a
  // random source.
  std::string NewAddressToOpen();
  // Serves until Stop (from any thread).
  void Run();
  void Stop();
  // True once the page asked the engine to end (the UI program then ends too).
  bool quit_requested() const { return quit_requested_; }

 private:
  void Install();

  // Saves the files uploaded with a call under the field `name` into a new folder of uploads_;
  // their paths.
  std::vector<std::string> SaveFiles(const void* request, const std::string& name);

  UiLink& link_;
  UiDoor door_;
  std::string address_;
  std::filesystem::path uploads_;  // private (0700), removed with the server
  const UiServerOptions options_;
  uint16_t port_ = 0;
  std::atomic<bool> quit_requested_{false};
  std::unique_ptr<httplib::Server> server_;
};

}  // namespace parley

#endif  // PARLEY_UI_UI_SERVER_H_
