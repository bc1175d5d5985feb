// CFlexLink: the engine object. It owns the UI-link server and the command dispatcher and holds
// the state that the command handlers share. One is created at start-up and lives until the
// process ends.
#ifndef PARLEY_LINK_FLEX_LINK_H_
#define PARLEY_LINK_FLEX_LINK_H_

#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include <asio/awaitable.hpp>

#include "db/address_book.h"
#include "excel/workbook_loader.h"
#include "link/dispatch.h"
#include "link/engine_config.h"
#include "web/web_client.h"

namespace asio {
class io_context;
}

namespace parley {

class LinkServer;

class CFlexLink {
 public:
  CFlexLink(asio::io_context& io, EngineConfig config);
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

  const EngineConfig& config() const { return config_; }
  asio::io_context& io() { return io_; }
  CommandDispatcher& dispatcher() { return dispatcher_; }
  // The engine directory with a trailing "/".
  std::string GetModuleDir() const { return config_.GetModuleDir(); }

  // The one client of the web service; its session cookies carry the login.
  CWebClient web;
  // The address book, "QXBOOK.mdb" in the current directory; opened on first use.
  AddressBook address_book{AddressBook::kFileName};

  // State shared by the command handlers (CP949 text, except the path).
  std::string login_id;  // set by every LOGIN that takes the login path
  std::string password;  // set together with the login id
  // The workbook chosen by the EXCEL listing, as the UI program named it (UTF-8, unconverted).
  std::string workbook_path;
  WorkbookCache workbooks;  // the last workbook read, kept while its file is unchanged
  int send_permission = 0;  // set by the send check of DSEND and ESEND; 0 after a logout or a
                            // refused login

 private:
  asio::io_context& io_;
  EngineConfig config_;
  CommandDispatcher dispatcher_;
  std::unique_ptr<LinkServer> server_;
  std::function<void()> launch_ui_;
  std::function<void()> on_exit_;
};

}  // namespace parley

#endif  // PARLEY_LINK_FLEX_LINK_H_
