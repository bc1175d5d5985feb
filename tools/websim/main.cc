// websim: a stand-in for the web service, for tests and the sandbox demo. Serves the login,
// account, send check, sent report, catalogue and statistics pages on one port, records every
// request it receives, and takes test controls under /_sim/ (see sim_controls.h).
//
//   websim [--port N] [--address 127.0.0.1] [--record DIR] [--user ID:PASS:BALANCE]...
//
// Prints "websim listening on ADDRESS:PORT" on stdout once listening, a line per request on
// stderr, and ends on SIGTERM or SIGINT.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>
#include <CLI/CLI.hpp>
#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>

#include "websim/web_server.h"

int main(int argc, char** argv) {
  CLI::App app{"websim: a web service simulator."};
  uint16_t port = 80;
  std::string address = "127.0.0.1";
  std::vector<std::string> users;
  parley::websim::ServerOptions options;
  app.add_option("--port", port, "Port to listen on; 0 picks a free one")->capture_default_str();
  app.add_option("--address", address, "Address to listen on")->capture_default_str();
  app.add_option("--record", options.record_dir,
                 "Write every request received to DIR/000001.req, 000002.req, ...");
  app.add_option("--cookie-path", options.cookie_path,
                 "Scope the session cookie to this path (a client must send it only there)")
      ->capture_default_str();
  app.add_option("--user", users,
                 "Add an account ID:PASS:BALANCE (BALANCE in short messages, or \"flat\")");
  CLI11_PARSE(app, argc, argv);
  for (const std::string& user : users) {
    auto account = parley::websim::ParseAccount(user);
    if (!account) {
      std::fprintf(stderr, "websim: --user wants ID:PASS:BALANCE, not \"%s\"\n", user.c_str());
      return 2;
    }
    options.accounts.push_back(*account);
  }
  spdlog::set_default_logger(spdlog::stderr_logger_mt("websim"));

  asio::io_context io(1);
  parley::websim::WebServer server(io, options);
  if (std::error_code ec = server.Listen(address, port)) {
    std::fprintf(stderr, "websim: cannot listen on %s:%u: %s\n", address.c_str(), port,
                 ec.message().c_str());
    return 1;
  }
  server.Start();
  std::printf("websim listening on %s:%u\n", address.c_str(), server.port());
  std::fflush(stdout);

  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](const std::error_code& ec, int) {
    if (ec) return;
    server.Stop();
    io.stop();
  });
  io.run();
  return 0;
}
