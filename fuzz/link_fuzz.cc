// Fuzzes the UI link: arbitrary bytes, cut into pieces, go through the frame parser, and every
// message that comes out is dispatched to the real command handlers. The web service is the
// project's simulator, served in-process on 127.0.0.1 from a second thread; the gateway is a
// port on 127.0.0.1 that is bound but never listens, so every send job is refused at connect.
//
// Input: the first byte sets the size of the pieces the stream arrives in (1 to 256 bytes); the
// rest is the stream.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <spdlog/spdlog.h>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

#include "commands/commands.h"
#include "commands/end_command.h"
#include "engine/engine.h"
#include "fuzz_check.h"
#include "link/command_table.h"
#include "link/message.h"
#include "text/cp949.h"
#include "websim/web_server.h"

namespace {

using namespace parley;

// Messages dispatched per input at most; the rest are only framed.
constexpr size_t kMaxDispatched = 16;

struct Parsed {
  std::vector<RawMessage> messages;
  bool error = false;
};

Parsed Frame(std::string_view stream, size_t piece) {
  Parsed out;
  FrameParser parser;
  RawMessage message;
  std::string error;
  size_t appended = 0;
  size_t returned = 0;
  for (size_t at = 0; at < stream.size() && !out.error; at += piece) {
    const std::string_view bytes = stream.substr(at, piece);
    parser.Append(bytes);
    appended += bytes.size();
    for (;;) {
      const FrameParser::Status status = parser.Next(&message, &error);
      if (status == FrameParser::Status::kNeedMore) break;
      if (status == FrameParser::Status::kError) {
        FUZZ_CHECK(!error.empty());
        out.error = true;
        break;
      }
      FUZZ_CHECK(message.header.size() == HeaderSizeOf(message.header));
      returned += message.header.size() + message.body.size();
      out.messages.push_back(std::move(message));
    }
    if (!out.error) FUZZ_CHECK(returned + parser.buffered() == appended);
  }
  return out;
}

// A port on 127.0.0.1 that refuses every connection: bound, never listening, held until exit.
class RefusingPort {
 public:
  RefusingPort() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    FUZZ_CHECK(fd_ >= 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    FUZZ_CHECK(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    socklen_t size = sizeof address;
    FUZZ_CHECK(getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0);
    port_ = ntohs(address.sin_port);
  }
  ~RefusingPort() { close(fd_); }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// The engine with its handlers, the web simulator, the refusing gateway port, and a scratch
// engine directory that is also the current directory (the address book lives there).
class FuzzedEngine {
 public:
  FuzzedEngine() {
    spdlog::set_level(spdlog::level::off);
    char pattern[] = "/tmp/parley_link_fuzz.XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern) != nullptr);
    home_ = pattern;
    FUZZ_CHECK(chdir(pattern) == 0);

    web_ = std::make_unique<websim::WebServer>(sim_io_, websim::ServerOptions{});
    FUZZ_CHECK(!web_->Listen("127.0.0.1", 0));
    web_->Start();
    sim_thread_ = std::thread([this] { sim_io_.run(); });

    EngineConfig config;
    config.web_base = "http://127.0.0.1";
    config.web_port = web_->port();
    config.web_timeout_seconds = 2;
    config.gateway_host = "127.0.0.1";
    config.gateway_port = gateway_.port();
    config.gateway_timeout_seconds = 2;
    config.home = home_;
    config.ui_program = std::filesystem::path();
    engine_ = std::make_unique<Engine>(io_, config);
    InstallCommandHandlers(*engine_);
    // ENDQX with a non-zero value would end the process; only the logout is fuzzed.
    engine_->link().dispatcher().SetEndHandler([this](int value) -> asio::awaitable<void> {
      if (value == 0) co_await OnEnd(*engine_, 0);
    });
  }

  ~FuzzedEngine() {
    engine_.reset();
    sim_io_.stop();
    sim_thread_.join();
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }

  // Dispatches one message as the link server does and checks the reply is one whole message
  // with the command code of the request.
  void Handle(const RawMessage& raw) {
    std::string header = Utf8ToAnsi(raw.header);
    std::string body = Utf8ToAnsi(raw.body);
    const std::string_view code = kCommandCodes[static_cast<size_t>(FindCommand(header))];
    std::string reply;
    bool finished = false;
    asio::co_spawn(
        io_,
        [&]() -> asio::awaitable<void> {
          try {
            reply = co_await engine_->link().dispatcher().Dispatch(
                std::move(header), CommandBody{std::move(body), raw.body});
          } catch (const std::exception&) {
            reply.clear();  // the link leaves such a message without a reply
          }
          finished = true;
        },
        asio::detached);
    io_.restart();
    io_.run();
    FUZZ_CHECK(finished);
    if (reply.empty()) return;

    FrameParser parser;
    parser.Append(reply);
    RawMessage back;
    std::string error;
    FUZZ_CHECK(parser.Next(&back, &error) == FrameParser::Status::kMessage);
    FUZZ_CHECK(parser.buffered() == 0);
    FUZZ_CHECK(back.header.starts_with(code));
  }

 private:
  std::filesystem::path home_;
  asio::io_context sim_io_;
  asio::executor_work_guard<asio::io_context::executor_type> sim_work_{sim_io_.get_executor()};
  std::unique_ptr<websim::WebServer> web_;
  RefusingPort gateway_;
  std::thread sim_thread_;
  asio::io_context io_;
  std::unique_ptr<Engine> engine_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static FuzzedEngine engine;  // lives as long as the fuzzing process
  const size_t piece = static_cast<size_t>(data[0]) + 1;
  const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);

  // However the stream is cut, the same messages come out.
  const Parsed pieces = Frame(stream, piece);
  const Parsed whole = Frame(stream, stream.size() + 1);
  FUZZ_CHECK(pieces.error == whole.error);
  FUZZ_CHECK(pieces.messages.size() == whole.messages.size());
  for (size_t i = 0; i < whole.messages.size(); ++i) {
    FUZZ_CHECK(pieces.messages[i].header == whole.messages[i].header);
    FUZZ_CHECK(pieces.messages[i].body == whole.messages[i].body);
  }

  for (size_t i = 0; i < whole.messages.size() && i < kMaxDispatched; ++i) {
    engine.Handle(whole.messages[i]);
  }
  return 0;
}
