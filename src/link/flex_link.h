// CFlexLink: the UI link of the engine. It owns the UI-link server and the command dispatcher,
// launches the UI program and ends the engine. One is created at start-up and lives until the
// process ends.
#ifndef PARLEY_LINK_FLEX_LINK_H_
#define PARLEY_LINK_FLEX_LINK_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include <asio/awaitable.hpp>

#include "link/dispatch.h"

namespace asio {
class io_context;
}

namespace parley {

class LinkServer;

// Where the UI link listens, and how long a message may take to arrive.
struct LinkConfig {
  std::string address;
  uint16_t port = 0;  // 0 picks a free port
  // The longest a message may take to arrive whole once its first byte is in; the connection is
  // dropped after that. An idle connection is never dropped.
  std::chrono::seconds message_timeout{30};
};

class CFlexLink {
 public:
  CFlexLink(asio::io_context& io, LinkConfig config);
  ~CFlexLink();
  CFlexLink(const CFlexLink&) = delete;
  CFlexLink& operator=(const CFlexLink&) = delete;

  // Binds the UI-link server to the configured address and port and starts accepting.
  std::error_code CreateServer();
  // The port the server listens on (the configured one, or the one picked for port 0).
  uint16_t link_port() const;

  // Launches the UI program; also called whenever a connection has ended.
  void SetUiLauncher(std::function<void()> launch) { launch_ui_ = std::move(launch); }
  void LaunchUi();

  // Called once the engine has decided to end; the process should then exit with status 0.
  void SetOnExit(std::function<void()> on_exit) { on_exit_ = std::move(on_exit); }

  // Writes a complete message on the open connection.
  void SendToUi(std::string message);

  // Ends the engine: no further message is handled, and after 1.5 seconds, which lets a final
  // reply leave, the exit callback runs. The awaiting coroutine is never resumed.
  asio::awaitable<void> EndEngine();

  CommandDispatcher& dispatcher() { return dispatcher_; }

 private:
  asio::io_context& io_;
  LinkConfig config_;
  CommandDispatcher dispatcher_;
  std::unique_ptr<LinkServer> server_;
  std::function<void()> launch_ui_;
  std::function<void()> on_exit_;
};

}  // namespace parley

#endif  // PARLEY_LINK_FLEX_LINK_H_
