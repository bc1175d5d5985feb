#include "websim/web_server.h"

#include <array>
#include <chrono>
#include <exception>
#include <random>
#include <string>
#include <utility>
#include <variant>

#include <spdlog/spdlog.h>
#include <asio/co_spawn.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>

#include "websim/http_message.h"
#include "websim/request_recorder.h"
#include "websim/sim_controls.h"
#include "websim/web_service.h"

namespace parley::websim {

using asio::awaitable;
using asio::ip::tcp;
using namespace asio::experimental::awaitable_operators;

class WebServer::State {
 public:
  State(asio::io_context& io, ServerOptions options)
      : acceptor(io),
        service(std::move(options.accounts), std::move(options.cookie_path)),
        record_dir(std::move(options.record_dir)),
        random(std::random_device{}()) {}

  tcp::acceptor acceptor;
  WebService service;
  SimControls controls;
  RequestRecorder recorder;
  std::string record_dir;
  std::mt19937 random;
};

namespace {

constexpr auto use_tuple = asio::experimental::as_tuple(asio::use_awaitable);

// A request must have arrived whole this long after the connection was accepted.
constexpr auto kRequestTimeout = std::chrono::seconds(60);
// How long a refused request's connection waits for the client to hang up.
constexpr auto kLingerTime = std::chrono::seconds(2);
constexpr size_t kReadChunk = 16 * 1024;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

std::string ErrorPage(std::string_view title) {
  return "<html><head><title>" + std::string(title) + "</title></head><body><h1>" +
         std::string(title) + "</h1></body></html>";
}

// Appends what arrives next to `data`. False when the client has gone, the read failed or the
// deadline passed.
awaitable<bool> ReadMore(tcp::socket& socket, std::string& data,
                         std::chrono::steady_clock::time_point deadline) {
  std::array<char, kReadChunk> buffer;
  asio::steady_timer timer(socket.get_executor(), deadline);
  auto result = co_await (socket.async_read_some(asio::buffer(buffer), use_tuple) ||
                          timer.async_wait(use_tuple));
  if (result.index() != 0) co_return false;
  auto [ec, n] = std::get<0>(result);
  if (ec) co_return false;
  data.append(buffer.data(), n);
  co_return true;
}

// Completes when the client closes its side of the connection or it fails; anything the client
// sends meanwhile is dropped.
awaitable<void> WaitForHangUp(tcp::socket& socket) {
  std::array<char, 512> buffer;
  for (;;) {
    auto [ec, n] = co_await socket.async_read_some(asio::buffer(buffer), use_tuple);
    if (ec) co_return;
  }
}

// Waits `duration`; false when the client went away first.
awaitable<bool> StallWhileConnected(tcp::socket& socket, std::chrono::milliseconds duration) {
  asio::steady_timer timer(socket.get_executor(), duration);
  auto result = co_await (timer.async_wait(use_tuple) || WaitForHangUp(socket));
  co_return result.index() == 0;
}

// Ends the connection after a refusal. The client may still be sending bytes the server did not
// read; closing at once would reset the connection and could discard the reply before the
// client reads it, so the server stops sending and waits a moment for the client to hang up.
awaitable<void> LingeringClose(tcp::socket& socket) {
  std::error_code ignored;
  socket.shutdown(tcp::socket::shutdown_send, ignored);
  asio::steady_timer timer(socket.get_executor(), kLingerTime);
  co_await (WaitForHangUp(socket) || timer.async_wait(use_tuple));
  socket.close(ignored);
}

bool ExpectsContinue(const HttpRequest& request) {
  auto expect = request.Header("Expect");
  return request.version == "HTTP/1.1" && expect &&
         (*expect == "100-continue" || *expect == "100-Continue");
}

void Close(tcp::socket& socket) {
  std::error_code ignored;
  socket.shutdown(tcp::socket::shutdown_both, ignored);
  socket.close(ignored);
}

// Reads one request, records it, answers it and closes the connection.
awaitable<void> Serve(tcp::socket socket, std::shared_ptr<WebServer::State> state) {
  auto deadline = std::chrono::steady_clock::now() + kRequestTimeout;
  std::string data;
  HttpRequest request;
  size_t head_size = 0;
  HeadStatus status;
  while ((status = ParseHead(data, &request, &head_size)) == HeadStatus::kIncomplete) {
    if (!co_await ReadMore(socket, data, deadline)) co_return;
  }
  if (status == HeadStatus::kComplete) {
    size_t total = head_size + request.content_length;
    if (data.size() < total && ExpectsContinue(request)) {
      co_await asio::async_write(socket, asio::buffer(kContinue), use_tuple);
    }
    while (data.size() < total) {
      if (!co_await ReadMore(socket, data, deadline)) co_return;
    }
    data.resize(total);  // anything after the body is not part of this request
    request.body = data.substr(head_size);
  }

  bool control = status == HeadStatus::kComplete && SimControls::IsControl(request);
  if (!control) {
    if (std::error_code ec = state->recorder.Record(data)) {
      spdlog::error("cannot record a request: {}", ec.message());
    }
  }

  HttpReply reply;
  switch (status) {
    case HeadStatus::kBad:
      reply = HttpReply{400, ErrorPage("Bad Request"), {}};
      break;
    case HeadStatus::kTooLarge:
      reply = HttpReply{413, ErrorPage("Request Entity Too Large"), {}};
      break;
    case HeadStatus::kUnsupported:
      reply = HttpReply{501, ErrorPage("Not Implemented"), {}};
      break;
    case HeadStatus::kIncomplete:
    case HeadStatus::kComplete:
      break;
  }
  if (control) {
    reply = state->controls.Handle(request, state->service);
  } else if (status == HeadStatus::kComplete) {
    if (auto stall = state->controls.TakeStall()) {
      spdlog::info("{} {} stalls {} ms", request.method, request.target, stall->count());
      if (!co_await StallWhileConnected(socket, *stall)) {
        spdlog::info("{} {}: the client went away", request.method, request.target);
        co_return;
      }
    }
    switch (state->controls.TakeFail()) {
      case FailMode::kClose:
        spdlog::info("{} {} -> closed without a reply", request.method, request.target);
        Close(socket);
        co_return;
      case FailMode::kGarbage: {
        std::string garbage(256 + state->random() % 768, '\0');
        for (char& c : garbage) c = static_cast<char>(state->random() & 0xFF);
        if (garbage[0] == 'H') garbage[0] = '\xFF';  // never the start of a status line
        co_await asio::async_write(socket, asio::buffer(garbage), use_tuple);
        spdlog::info("{} {} -> {} random bytes", request.method, request.target, garbage.size());
        Close(socket);
        co_return;
      }
      case FailMode::kServerError:
        reply = HttpReply{500, ErrorPage("500 - Internal server error."), {}};
        break;
      case FailMode::kNone:
        reply = state->service.Handle(request);
        if (auto bytes = state->controls.TakeFiller()) reply.body.assign(*bytes, 'x');
        if (auto code = state->controls.TakeStatus()) reply.status = *code;
        break;
    }
  }
  std::string bytes = SerializeReply(reply);
  auto [ec, n] = co_await asio::async_write(socket, asio::buffer(bytes), use_tuple);
  spdlog::info("{} {} -> {} ({} bytes){}", request.method, request.target, reply.status,
               reply.body.size(), ec ? " not delivered: " + ec.message() : "");
  if (status == HeadStatus::kComplete) {
    Close(socket);
  } else {
    co_await LingeringClose(socket);
  }
}

void LogFailure(std::exception_ptr failure) {
  if (!failure) return;
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    spdlog::error("connection ended by an error: {}", e.what());
  }
}

awaitable<void> Accept(std::shared_ptr<WebServer::State> state) {
  for (;;) {
    auto [ec, socket] = co_await state->acceptor.async_accept(use_tuple);
    if (!state->acceptor.is_open()) co_return;
    if (ec) {
      spdlog::warn("accept failed: {}", ec.message());
      asio::steady_timer pause(state->acceptor.get_executor(), std::chrono::milliseconds(50));
      co_await pause.async_wait(use_tuple);
      continue;
    }
    asio::co_spawn(state->acceptor.get_executor(), Serve(std::move(socket), state), LogFailure);
  }
}

}  // namespace

WebServer::WebServer(asio::io_context& io, ServerOptions options)
    : state_(std::make_shared<State>(io, std::move(options))) {}

WebServer::~WebServer() { Stop(); }

std::error_code WebServer::Listen(const std::string& address, uint16_t port) {
  std::error_code ec;
  if (!state_->record_dir.empty()) {
    if ((ec = state_->recorder.Open(state_->record_dir))) return ec;
  }
  asio::ip::address ip = asio::ip::make_address(address, ec);
  if (ec) return ec;
  tcp::endpoint endpoint(ip, port);
  state_->acceptor.open(endpoint.protocol(), ec);
  if (!ec) state_->acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) state_->acceptor.bind(endpoint, ec);
  if (!ec) state_->acceptor.listen(asio::socket_base::max_listen_connections, ec);
  return ec;
}

uint16_t WebServer::port() const {
  std::error_code ec;
  return state_->acceptor.local_endpoint(ec).port();
}

void WebServer::Start() {
  asio::co_spawn(state_->acceptor.get_executor(), Accept(state_), LogFailure);
}

void WebServer::Stop() {
  std::error_code ignored;
  state_->acceptor.close(ignored);
}

}  // namespace parley::websim
