// UiServer: the web UI's HTTP server on 127.0.0.1: the page (index.html, app.js, style.css from
// the folder installed beside parley-ui) and the calls of UiApi under /api/, behind the checks of
// ui_guard.h (the token and its cookie, the Host, the Origin of anything that changes state) and
// with a strict Content-Security-Policy on every answer. Request bodies are capped.
#ifndef PARLEY_UI_UI_SERVER_H_
#define PARLEY_UI_UI_SERVER_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace httplib {
class Server;
}

namespace parley {

class UiLink;

struct UiServerOptions {
  std::filesystem::path static_dir;     // index.html, app.js, style.css
  size_t max_request_bytes = 20 << 20;  // a larger request is refused (413)
};

class UiServer {
 public:
  UiServer(UiLink& link, std::string token, UiServerOptions options);
  ~UiServer();
  UiServer(const UiServer&) = delete;
  UiServer& operator=(const UiServer&) = delete;

  // Binds 127.0.0.1:port (0: a free port). Returns the port, or 0 when it cannot bind.
  int Bind(int port);
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
  const std::string token_;
  std::filesystem::path uploads_;  // private (0700), removed with the server
  const UiServerOptions options_;
  uint16_t port_ = 0;
  std::atomic<bool> quit_requested_{false};
  std::unique_ptr<httplib::Server> server_;
};

}  // namespace parley

#endif  // PARLEY_UI_UI_SERVER_H_
