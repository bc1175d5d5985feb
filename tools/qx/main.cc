// qx: a command-line front end of the engine, talking to it over the UI link as the UI program
// does. Text in and out is UTF-8.
#include <cstdlib>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "link/message.h"
#include "qx/book_command.h"
#include "qx/link_client.h"
#include "qx/send_command.h"
#include "text/cp949.h"

namespace {

uint16_t DefaultPort() {
  const char* env = std::getenv("QX_PORT");
  if (env && *env) {
    long value = std::strtol(env, nullptr, 10);
    if (value > 0 && value < 65536) return static_cast<uint16_t>(value);
  }
  return 12012;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"qx: talk to the Parley engine over the UI link."};
  app.require_subcommand(1);
  std::string host = "127.0.0.1";
  uint16_t port = DefaultPort();
  int timeout = 120;
  app.add_option("--host", host, "Engine address")->capture_default_str();
  app.add_option("--port", port, "UI-link port (default: $QX_PORT or 12012)")
      ->capture_default_str();
  app.add_option("--timeout", timeout, "Seconds to wait for the reply")->capture_default_str();

  std::string code;
  std::string body;
  CLI::App* raw = app.add_subcommand("raw", "Send one message and print the reply");
  raw->add_option("CODE", code, "Command code, e.g. LOGIN")->required();
  raw->add_option("BODY", body, "Message body (fields separated by <QX>)");

  CLI::App* book = parley::AddBookCommand(app);
  parley::SendOptions send_options;
  CLI::App* send = parley::AddSendCommand(app, &send_options);

  CLI11_PARSE(app, argc, argv);
  if (book->parsed()) return 0;  // done while parsing
  if (send->parsed()) {
    return parley::RunSendCommand(send_options, host, port, timeout, std::cout, std::cerr);
  }

  parley::LinkClient client;
  std::string error;
  parley::RawMessage reply;
  if (!client.Connect(host, port, &error) || !client.SendMessage(code, body, &error) ||
      !client.ReadMessage(&reply, timeout * 1000, &error)) {
    std::cerr << "qx: " << error << "\n";
    return 1;
  }
  std::cout << reply.header << "\n" << parley::AnsiToUtf8(reply.body) << "\n";
  return 0;
}
