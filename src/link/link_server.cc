#include "link/link_server.h"

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include <spdlog/spdlog.h>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>

#include "link/message.h"
#include "link/peer_owner.h"
#include "text/cp949.h"

namespace parley {
namespace {

using asio::awaitable;
using asio::ip::tcp;
using namespace asio::experimental::awaitable_operators;
constexpr auto use_tuple = asio::experimental::as_tuple(asio::use_awaitable);

constexpr size_t kReadChunk = 64 * 1024;
// Messages taken from the connection whose replies are not written yet. Past this the server
// stops reading until one is written, so a client that sends without reading cannot make the
// engine buffer without bound.
constexpr int kMaxInFlight = 256;
// Header and body bytes of the messages whose handlers are running, plus the bytes of the
// replies waiting to be written. Past this the server stops reading as well (a message is always
// taken when none is in hand), so neither long sends pipelined one behind the other nor large
// replies to a client that does not read can make the engine hold them without bound.
constexpr size_t kMaxInFlightBytes = 32 * 1024 * 1024;
// How much of a body the debug log shows.
constexpr size_t kLoggedBodyBytes = 200;

// Waits until Wake() is called. Wake() before the wait has started is not remembered: callers
// check their condition before waiting.
class Signal {
 public:
  explicit Signal(const asio::any_io_executor& ex) : timer_(ex) {}
  awaitable<void> Wait() {
    timer_.expires_at(asio::steady_timer::time_point::max());
    co_await timer_.async_wait(use_tuple);
  }
  void Wake() { timer_.cancel(); }

 private:
  asio::steady_timer timer_;
};

std::string Printable(std::string_view cp949, size_t max) {
  std::string text = AnsiToUtf8(cp949.substr(0, max));
  if (cp949.size() > max) text += "...";
  return text;
}

}  // namespace

// What the server shares with its sessions, which may outlive it by a pending handler.
struct LinkServerState {
  LinkServer::MessageHandler handler;
  std::chrono::milliseconds message_timeout;  // for a message begun to arrive whole
  bool stopped = false;                       // no further messages are handled
};

// One accepted connection: a reader that cuts messages and starts their handlers, and a writer
// that sends the queued replies in the order they became ready.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, std::shared_ptr<const LinkServerState> state)
      : socket_(std::move(socket)),
        state_(std::move(state)),
        writer_signal_(socket_.get_executor()),
        slot_signal_(socket_.get_executor()) {}

  awaitable<void> Run() {
    co_await (Reader() && Writer());
    open_ = false;
    DropQueue();
    std::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
  }

  // Returns once the replies waiting to be written hold no more than kMaxInFlightBytes (or the
  // connection is done). Commands that run one after another call it before each runs, so that
  // their replies cannot pile up for a client that does not read.
  awaitable<void> WaitForReplyRoom() {
    auto self = shared_from_this();
    while (open_ && !closing_write_ && queued_bytes_ > kMaxInFlightBytes) {
      co_await slot_signal_.Wait();
    }
  }

  // Queues a whole message. `counted` marks a reply of a message taken by the reader.
  void Enqueue(std::string message, bool counted) {
    if (!open_ || closing_write_) {
      if (counted) {
        spdlog::warn("UI link: the reply to {} is dropped: the UI program closed the connection",
                     AnsiToUtf8(std::string_view(message).substr(0, kCommandCodeSize)));
        ReleaseSlot();
      }
      return;
    }
    queued_bytes_ += message.size();
    queue_.emplace_back(std::move(message), counted);
    writer_signal_.Wake();
  }

 private:
  // Reads into `buffer`. While a message is unfinished (`deadline` set) the read is raced
  // against the deadline; a deadline that passes with nothing received gives timed_out (bytes
  // that arrived while the engine itself was busy past the deadline are still read).
  awaitable<std::tuple<std::error_code, size_t>> ReadSome(
      std::vector<char>& buffer, std::optional<std::chrono::steady_clock::time_point> deadline) {
    if (!deadline) co_return co_await socket_.async_read_some(asio::buffer(buffer), use_tuple);
    asio::steady_timer timer(socket_.get_executor(), *deadline);
    auto result = co_await (socket_.async_read_some(asio::buffer(buffer), use_tuple) ||
                            timer.async_wait(use_tuple));
    if (result.index() == 0) co_return std::get<0>(result);
    std::error_code ec;
    if (socket_.available(ec) > 0 && !ec) {
      co_return co_await socket_.async_read_some(asio::buffer(buffer), use_tuple);
    }
    co_return std::tuple<std::error_code, size_t>{make_error_code(asio::error::timed_out), 0};
  }

  awaitable<void> Reader() {
    std::vector<char> buffer(kReadChunk);
    FrameParser parser;
    RawMessage message;
    std::string error;
    // When the message in hand must have arrived whole; unset while no message is begun.
    std::optional<std::chrono::steady_clock::time_point> deadline;
    for (bool done = false; !done;) {
      if (parser.buffered() > 0 && !deadline) {
        deadline = std::chrono::steady_clock::now() + state_->message_timeout;
      }
      auto [ec, n] = co_await ReadSome(buffer, deadline);
      if (ec == asio::error::timed_out) {
        spdlog::warn(
            "UI link: a message has stayed unfinished for {} ms ({} bytes of it received); "
            "closing the connection",
            state_->message_timeout.count(), parser.buffered());
        std::error_code ignored;
        socket_.close(ignored);
        break;
      }
      if (ec) {
        if (ec != asio::error::eof && ec != asio::error::operation_aborted) {
          spdlog::debug("UI link: read failed: {}", ec.message());
        }
        break;
      }
      parser.Append(std::string_view(buffer.data(), n));
      for (;;) {
        FrameParser::Status status = parser.Next(&message, &error);
        if (status == FrameParser::Status::kNeedMore) break;
        if (status == FrameParser::Status::kError) {
          spdlog::error("UI link: {}; closing the connection", error);
          done = true;
          break;
        }
        deadline.reset();  // the next message's time starts when it is waited for
        if (state_->stopped) continue;
        const size_t held = message.header.size() + message.body.size();
        while (socket_.is_open() &&
               (in_flight_ >= kMaxInFlight ||
                (in_flight_ > 0 && in_flight_bytes_ + queued_bytes_ + held > kMaxInFlightBytes))) {
          co_await slot_signal_.Wait();
        }
        ++in_flight_;
        in_flight_bytes_ += held;
        asio::co_spawn(socket_.get_executor(), Handle(std::move(message)), asio::detached);
      }
    }
    // Replies of messages already handled still go out; later ones are dropped.
    closing_ = true;
    writer_signal_.Wake();
  }

  awaitable<void> Handle(RawMessage raw) {
    auto self = shared_from_this();
    const size_t held = raw.header.size() + raw.body.size();
    std::string header = Utf8ToAnsi(raw.header);
    std::string body = Utf8ToAnsi(raw.body);
    std::string sent_body = std::move(raw.body);
    raw = RawMessage{};
    if (spdlog::should_log(spdlog::level::debug)) {
      spdlog::debug("Header:{} Body:{}", Printable(header, kHeaderSize),
                    Printable(body, kLoggedBodyBytes));
    }
    std::string code = header.substr(0, kCommandCodeSize);
    std::string reply;
    std::weak_ptr<Session> weak = self;
    LinkServer::ReplyRoom room = [weak]() -> awaitable<void> {
      if (std::shared_ptr<Session> session = weak.lock()) co_await session->WaitForReplyRoom();
    };
    try {
      reply = co_await state_->handler(std::move(header), std::move(body), std::move(sent_body),
                                       std::move(room));
    } catch (const std::exception& e) {
      spdlog::error("UI link: command {} failed: {}; no reply", AnsiToUtf8(code), e.what());
    }
    in_flight_bytes_ -= held;  // the reader is woken when the reply's slot is released
    if (reply.empty()) {
      ReleaseSlot();
      co_return;
    }
    Enqueue(std::move(reply), true);
  }

  awaitable<void> Writer() {
    for (;;) {
      while (!queue_.empty()) {
        auto [ec, n] =
            co_await asio::async_write(socket_, asio::buffer(queue_.front().first), use_tuple);
        bool counted = queue_.front().second;
        queued_bytes_ -= queue_.front().first.size();
        queue_.pop_front();
        if (counted) {
          ReleaseSlot();
        } else {
          slot_signal_.Wake();  // its bytes no longer count
        }
        if (ec) {
          spdlog::debug("UI link: write failed: {}", ec.message());
          closing_write_ = true;
          DropQueue();
          std::error_code ignored;
          socket_.close(ignored);
          co_return;
        }
      }
      if (closing_) co_return;
      co_await writer_signal_.Wait();
    }
  }

  void ReleaseSlot() {
    --in_flight_;
    slot_signal_.Wake();
  }

  void DropQueue() {
    for (auto& entry : queue_) {
      if (entry.second) ReleaseSlot();
    }
    queue_.clear();
    queued_bytes_ = 0;
    slot_signal_.Wake();
  }

  tcp::socket socket_;
  std::shared_ptr<const LinkServerState> state_;
  Signal writer_signal_;
  Signal slot_signal_;
  std::deque<std::pair<std::string, bool>> queue_;
  int in_flight_ = 0;
  size_t in_flight_bytes_ = 0;  // of the messages whose handlers run
  size_t queued_bytes_ = 0;     // of the messages in queue_
  bool open_ = true;            // until Run() has finished
  bool closing_ = false;        // the reader has ended
  bool closing_write_ = false;  // a write failed
};

class LinkServer::Impl : public std::enable_shared_from_this<LinkServer::Impl> {
 public:
  Impl(asio::io_context& io, MessageHandler handler, std::chrono::milliseconds message_timeout)
      : acceptor_(io), state_(std::make_shared<LinkServerState>()) {
    state_->handler = std::move(handler);
    state_->message_timeout = message_timeout;
  }

  // A loopback connection is taken only from a process of the engine's own user: on a shared
  // machine another account's processes could otherwise send as the logged-in user, export files
  // as the engine's user or read its jobs. Logged and closed otherwise. A connection from another
  // machine (a link address that is not loopback) has no owner to look up and is taken as before.
  static bool FromOurUser(const tcp::socket& socket) {
    std::error_code ec;
    const tcp::endpoint remote = socket.remote_endpoint(ec);
    const tcp::endpoint local = ec ? tcp::endpoint() : socket.local_endpoint(ec);
    if (ec || !remote.address().is_loopback()) return true;
    const std::optional<uint32_t> owner = LoopbackPeerOwner(AddressOf(local), AddressOf(remote));
    if (owner && *owner == static_cast<uint32_t>(geteuid())) return true;
    spdlog::warn("UI link: connection from {}:{} refused: {}", remote.address().to_string(),
                 remote.port(),
                 owner ? "it belongs to user " + std::to_string(*owner) + ", not the engine's"
                       : std::string("its owner cannot be found"));
    return false;
  }

  static SocketAddress AddressOf(const tcp::endpoint& endpoint) {
    SocketAddress address;
    address.port = endpoint.port();
    if (endpoint.address().is_v4()) {
      const auto bytes = endpoint.address().to_v4().to_bytes();
      std::copy(bytes.begin(), bytes.end(), address.bytes.begin());
    } else {
      address.v6 = true;
      const auto bytes = endpoint.address().to_v6().to_bytes();
      std::copy(bytes.begin(), bytes.end(), address.bytes.begin());
    }
    return address;
  }

  awaitable<void> AcceptLoop() {
    auto self = shared_from_this();
    for (;;) {
      while (acceptor_.is_open() && open_sessions_ >= kMaxConnections) {
        co_await room_signal_->Wait();
      }
      auto [ec, socket] = co_await acceptor_.async_accept(use_tuple);
      if (ec == asio::error::operation_aborted || !acceptor_.is_open()) co_return;
      if (ec) {
        // Out of descriptors and the like: wait a moment rather than spin.
        spdlog::error("UI link: accept failed: {}", ec.message());
        asio::steady_timer pause(acceptor_.get_executor(), std::chrono::milliseconds(200));
        co_await pause.async_wait(use_tuple);
        continue;
      }
      std::error_code ignored;
      socket.set_option(tcp::no_delay(true), ignored);
      auto remote = socket.remote_endpoint(ignored);
      spdlog::debug("UI link: connected from {}:{}", remote.address().to_string(), remote.port());
      if (!FromOurUser(socket)) {
        socket.close(ignored);
        continue;
      }
      auto session = std::make_shared<Session>(std::move(socket), state_);
      // The first connection while the UI program has none is the UI program's.
      const bool primary = !session_;
      if (primary) session_ = session;
      sessions_.push_back(session);
      ++open_sessions_;
      asio::co_spawn(acceptor_.get_executor(), Serve(session, primary), asio::detached);
    }
  }

  // Runs one connection to its end; the UI program's end is reported.
  awaitable<void> Serve(std::shared_ptr<Session> session, bool primary) {
    auto self = shared_from_this();
    co_await session->Run();
    std::erase_if(sessions_, [&](const std::weak_ptr<Session>& s) {
      return s.expired() || s.lock() == session;
    });
    --open_sessions_;
    room_signal_->Wake();
    spdlog::debug("UI link: {}connection closed", primary ? "the UI program's " : "");
    if (!primary) co_return;
    session_.reset();
    if (on_closed_ && !state_->stopped) on_closed_();
  }

  tcp::acceptor acceptor_;
  std::shared_ptr<LinkServerState> state_;
  std::function<void()> on_closed_;
  std::shared_ptr<Session> session_;  // the UI program's connection
  std::vector<std::weak_ptr<Session>> sessions_;  // every open connection
  int open_sessions_ = 0;
  std::unique_ptr<Signal> room_signal_ = std::make_unique<Signal>(acceptor_.get_executor());
};

LinkServer::LinkServer(asio::io_context& io, MessageHandler handler,
                       std::chrono::milliseconds message_timeout)
    : impl_(std::make_shared<Impl>(io, std::move(handler), message_timeout)) {}

LinkServer::~LinkServer() {
  std::error_code ignored;
  impl_->acceptor_.close(ignored);
}

void LinkServer::SetOnClosed(std::function<void()> on_closed) {
  impl_->on_closed_ = std::move(on_closed);
}

std::error_code LinkServer::Listen(const std::string& address, uint16_t port) {
  std::error_code ec;
  auto ip = asio::ip::make_address(address, ec);
  if (ec) return ec;
  tcp::endpoint endpoint(ip, port);
  tcp::acceptor& acceptor = impl_->acceptor_;
  acceptor.open(endpoint.protocol(), ec);
  if (!ec) acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) acceptor.bind(endpoint, ec);
  if (!ec) acceptor.listen(5, ec);
  if (ec) {
    std::error_code ignored;
    acceptor.close(ignored);
  }
  return ec;
}

uint16_t LinkServer::port() const {
  std::error_code ec;
  auto endpoint = impl_->acceptor_.local_endpoint(ec);
  return ec ? 0 : endpoint.port();
}

void LinkServer::Start() {
  asio::co_spawn(impl_->acceptor_.get_executor(), impl_->AcceptLoop(), asio::detached);
}

void LinkServer::Send(std::string message) {
  for (const std::weak_ptr<Session>& weak : impl_->sessions_) {
    if (std::shared_ptr<Session> session = weak.lock()) session->Enqueue(message, false);
  }
}

void LinkServer::StopHandling() { impl_->state_->stopped = true; }

}  // namespace parley
