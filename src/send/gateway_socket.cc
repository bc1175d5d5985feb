#include "send/gateway_socket.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include <spdlog/spdlog.h>
#include <asio/connect.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>

namespace parley {
namespace {

using asio::awaitable;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using namespace asio::experimental::awaitable_operators;
constexpr auto use_tuple = asio::experimental::as_tuple(asio::use_awaitable);

// A file at least this long is written straight from the caller's bytes, after the packets
// queued before it, instead of being copied into the output buffer.
constexpr size_t kDirectWriteBytes = 64 * 1024;

// The end of a job waits for a hang-up this many times the slowest reply of the job, and at
// least kShortestEndGrace.
constexpr int kEndGraceFactor = 4;
constexpr std::chrono::milliseconds kShortestEndGrace{20};

// How long a reply wait keeps looking at the socket before it sleeps until the socket is ready.
constexpr std::chrono::microseconds kSpinBeforeSleep{50};

// True for the errors by which a connection ends from the gateway's side.
bool IsConnectionEnd(const std::error_code& ec) {
  return ec == asio::error::eof || ec == asio::error::connection_reset ||
         ec == asio::error::connection_aborted || ec == asio::error::broken_pipe;
}

}  // namespace

class GatewaySocket::Impl {
  // Bytes to write, in order: the packets gathered, then a file written from the caller's bytes.
  using Parts = std::array<asio::const_buffer, 2>;

 public:
  explicit Impl(const asio::any_io_executor& executor) : socket_(executor), timer_(executor) {}
  ~Impl() { Close(); }

  awaitable<std::error_code> SendJobHeader(const JobHeader& header) {
    std::array<char, kJobHeaderSize> record;
    RecordStatus status = BuildJobHeader(header, record);
    if (!status.ok()) {
      spdlog::error("gateway: job header refused: {}", status.ToString());
      co_return GatewayError::kFieldTooLong;
    }
    title_cut_bytes_ = status.cut_bytes();
    if (!connected_) {
      if (std::error_code ec = co_await Connect()) co_return ec;
    }
    messages_ = 0;
    cut_texts_ = 0;
    out_.append(record.data(), record.size());
    co_return co_await Flush();
  }

  awaitable<std::error_code> SendTextMessage(std::string_view recipient, std::string_view callback,
                                             std::string_view text) {
    if (!socket_.is_open()) co_return GatewayError::kClosed;
    size_t at = out_.size();
    out_.resize(at + kTextMessageSize);
    RecordStatus status =
        BuildTextMessage(recipient, callback, text,
                         std::span<char, kTextMessageSize>(out_.data() + at, kTextMessageSize));
    if (!status.ok()) {
      out_.resize(at);
      co_return GatewayError::kFieldTooLong;
    }
    if (status.cut_bytes() > 0) ++cut_texts_;
    ++messages_;
    if (out_.size() >= kFlushBytes) co_return co_await Flush();
    co_return std::error_code();
  }

  awaitable<std::error_code> SendFileMessage(std::string_view recipient, std::string_view callback,
                                             std::string_view file) {
    if (!socket_.is_open()) co_return GatewayError::kClosed;
    size_t at = out_.size();
    out_.resize(at + kFileMessageHeadSize);
    RecordStatus status = BuildFileMessageHead(
        recipient, callback, static_cast<int64_t>(file.size()),
        std::span<char, kFileMessageHeadSize>(out_.data() + at, kFileMessageHeadSize));
    if (!status.ok()) {
      out_.resize(at);
      co_return GatewayError::kFieldTooLong;
    }
    ++messages_;
    if (file.size() >= kDirectWriteBytes) {
      std::error_code ec = co_await Write({asio::buffer(out_), asio::buffer(file)});
      out_.clear();
      co_return ec;
    }
    out_.append(file);
    if (out_.size() >= kFlushBytes) co_return co_await Flush();
    co_return std::error_code();
  }

  awaitable<std::error_code> Flush() {
    if (out_.empty()) co_return std::error_code();
    std::error_code ec = co_await Write({asio::buffer(out_), asio::const_buffer()});
    out_.clear();
    co_return ec;
  }

  awaitable<std::error_code> WaitReply(std::chrono::milliseconds timeout) {
    const Clock::time_point started = Clock::now();
    const Clock::time_point deadline = started + timeout;
    job_reply_record_.fill('\0');
    ack_record_.fill('\0');
    if (std::error_code ec = co_await Flush()) co_return ec;
    const Clock::time_point flushed = Clock::now();
    for (;;) {
      std::span<const char> held(in_.data() + in_begin_, in_end_ - in_begin_);
      switch (ScanReply(held)) {
        case ReplyKind::kJobReply:
          std::memcpy(job_reply_record_.data(), held.data(), kJobReplySize);
          in_begin_ += kJobReplySize;
          NoteReplyTime(started);
          co_return std::error_code();
        case ReplyKind::kAcknowledgement:
          std::memcpy(ack_record_.data(), held.data(), kAcknowledgementSize);
          in_begin_ += kAcknowledgementSize;
          NoteReplyTime(started);
          co_return std::error_code();
        case ReplyKind::kBadType:
          spdlog::warn("gateway: reply of unknown type 0x{:02x}; {} bytes dropped",
                       static_cast<unsigned char>(held[0]), held.size());
          in_begin_ = in_end_ = 0;
          co_return GatewayError::kBadReplyType;
        case ReplyKind::kNeedMore:
          break;
      }
      if (peer_closed_ || !socket_.is_open()) {
        connected_ = false;
        co_return GatewayError::kClosed;
      }
      // Only the start of one reply (under kLongestReplySize bytes) is held here, so after the
      // move the buffer has room for a full read.
      std::memmove(in_.data(), in_.data() + in_begin_, held.size());
      in_begin_ = 0;
      in_end_ = held.size();

      std::error_code ec;
      size_t n = socket_.read_some(asio::buffer(in_.data() + in_end_, in_.size() - in_end_), ec);
      if (!ec) {
        in_end_ += n;
        continue;
      }
      if (IsConnectionEnd(ec)) {
        peer_closed_ = true;
        continue;
      }
      if (ec != asio::error::would_block && ec != asio::error::try_again) {
        CloseSocket();
        co_return ec;
      }
      if (Clock::now() >= deadline) co_return GatewayError::kTimeout;
      // A gateway nearby answers within microseconds: look again for a moment before going to
      // sleep on the socket, which costs far more than the look.
      if (Clock::now() - flushed < kSpinBeforeSleep) continue;
      timer_.expires_at(deadline);
      auto ready = co_await (socket_.async_wait(tcp::socket::wait_read, use_tuple) ||
                             timer_.async_wait(use_tuple));
      if (ready.index() == 1) co_return GatewayError::kTimeout;
      if (auto [wait_error] = std::get<0>(ready); wait_error) {
        CloseSocket();
        co_return wait_error;
      }
    }
  }

  awaitable<std::error_code> EndJob(std::chrono::milliseconds longest) {
    if (std::error_code ec = co_await Flush()) co_return ec;
    if (!socket_.is_open()) co_return GatewayError::kClosed;
    // As long as the gateway took to answer during the job, a few times over: a gateway that
    // drops the last messages hangs up within about that time.
    const auto grace = std::clamp(
        std::chrono::duration_cast<std::chrono::milliseconds>(slowest_reply_ * kEndGraceFactor),
        kShortestEndGrace, std::max(kShortestEndGrace, longest));
    const Clock::time_point deadline = Clock::now() + grace;
    char discard[kReceiveBufferSize];
    for (;;) {
      std::error_code ec;
      socket_.read_some(asio::buffer(discard), ec);
      if (!ec) continue;  // a late acknowledgement: nothing to act on now
      if (IsConnectionEnd(ec) || peer_closed_) {
        CloseSocket();
        co_return GatewayError::kClosed;
      }
      if (ec != asio::error::would_block && ec != asio::error::try_again) {
        CloseSocket();
        co_return ec;
      }
      if (Clock::now() >= deadline) break;
      timer_.expires_at(deadline);
      auto ready = co_await (socket_.async_wait(tcp::socket::wait_read, use_tuple) ||
                             timer_.async_wait(use_tuple));
      if (ready.index() == 1) break;
    }
    Close();
    co_return std::error_code();
  }

  void NoteReplyTime(Clock::time_point started) {
    slowest_reply_ = std::max(slowest_reply_, Clock::now() - started);
  }

  void CloseSocket() {
    std::error_code ignored;
    socket_.close(ignored);
    connected_ = false;
  }

  // Ends the connection with a FIN. Replies that arrived unread (the acknowledgement of the last
  // group is never awaited) are discarded first: closing over unread bytes would reset the
  // connection instead, which a gateway may take for an aborted job.
  void Close() {
    out_.clear();
    if (!socket_.is_open()) return;
    std::error_code ec;
    char discard[kReceiveBufferSize];
    for (int i = 0; i < 16 && !ec; ++i) socket_.read_some(asio::buffer(discard), ec);
    socket_.shutdown(tcp::socket::shutdown_both, ec);
    CloseSocket();
  }

  std::string host_;
  uint16_t port_ = 4001;
  std::chrono::milliseconds io_timeout_{30'000};
  std::function<bool()> before_write_;
  std::array<char, kJobReplySize> job_reply_record_{};
  std::array<char, kAcknowledgementSize> ack_record_{};
  bool connected_ = false;
  size_t title_cut_bytes_ = 0;
  int64_t cut_texts_ = 0;
  int64_t messages_ = 0;

 private:
  awaitable<std::error_code> Connect() {
    CloseSocket();
    out_.clear();
    in_begin_ = in_end_ = 0;
    peer_closed_ = false;
    const Clock::time_point deadline = Clock::now() + io_timeout_;

    std::vector<tcp::endpoint> endpoints;
    std::error_code ec;
    asio::ip::address address = asio::ip::make_address(host_, ec);
    if (!ec) {
      endpoints.emplace_back(address, port_);
    } else {
      tcp::resolver resolver(socket_.get_executor());
      auto [resolve_error, results] =
          co_await resolver.async_resolve(host_, std::to_string(port_), use_tuple);
      if (resolve_error) co_return resolve_error;
      for (const auto& entry : results) endpoints.push_back(entry.endpoint());
    }

    timer_.expires_at(deadline);
    auto done = co_await (asio::async_connect(socket_, endpoints, use_tuple) ||
                          timer_.async_wait(use_tuple));
    if (done.index() == 1) {
      CloseSocket();
      co_return GatewayError::kTimeout;
    }
    if (auto [connect_error, endpoint] = std::get<0>(done); connect_error) {
      CloseSocket();
      co_return connect_error;
    }
    // Packets are gathered here, so the stack should not hold back the last piece of a group.
    socket_.set_option(tcp::no_delay(true), ec);
    // Replies are read with read_some after a readiness wait, never blocking the engine.
    socket_.non_blocking(true, ec);
    if (ec) {
      CloseSocket();
      co_return ec;
    }
    out_.reserve(kFlushBytes + kTextMessageSize);
    connected_ = true;
    co_return std::error_code();
  }

  // Writes parts in order. What the send buffer takes at once goes without arming a timer or
  // waiting for the reactor; only when it is full does the rest wait for room, all of it within
  // the I/O time-out from that moment. After an error the connection is closed.
  awaitable<std::error_code> Write(Parts parts) {
    if (!socket_.is_open()) co_return GatewayError::kClosed;
    if (before_write_ && !before_write_()) {
      CloseSocket();
      co_return GatewayError::kNotRecorded;
    }
    std::error_code ec = WriteReady(parts);
    if (!ec && Left(parts) > 0) ec = co_await WriteWhenReady(parts);
    if (ec) {
      CloseSocket();
      co_return IsConnectionEnd(ec) ? GatewayError::kClosed : ec;
    }
    co_return std::error_code();
  }

  // Writes as much of parts as the send buffer takes now, dropping what was written from their
  // front. Success when the buffer is full or parts are written.
  std::error_code WriteReady(Parts& parts) {
    while (Left(parts) > 0) {
      std::error_code ec;
      const size_t n = socket_.write_some(parts, ec);
      if (ec == asio::error::would_block || ec == asio::error::try_again) break;
      if (ec) return ec;
      Consume(parts, n);
    }
    return std::error_code();
  }

  // Waits for room in the send buffer and writes, until parts are written or the I/O time-out
  // has passed (kTimeout).
  awaitable<std::error_code> WriteWhenReady(Parts& parts) {
    timer_.expires_after(io_timeout_);
    while (Left(parts) > 0) {
      auto ready = co_await (socket_.async_wait(tcp::socket::wait_write, use_tuple) ||
                             timer_.async_wait(use_tuple));
      if (ready.index() == 1) co_return GatewayError::kTimeout;
      if (auto [wait_error] = std::get<0>(ready); wait_error) co_return wait_error;
      if (std::error_code ec = WriteReady(parts)) co_return ec;
    }
    co_return std::error_code();
  }

  static size_t Left(const Parts& parts) { return parts[0].size() + parts[1].size(); }

  static void Consume(Parts& parts, size_t n) {
    for (asio::const_buffer& part : parts) {
      const size_t taken = std::min(n, part.size());
      part += taken;
      n -= taken;
    }
  }

  tcp::socket socket_;
  asio::steady_timer timer_;
  std::string out_;  // packets not yet written
  std::array<char, kReceiveBufferSize> in_{};
  size_t in_begin_ = 0;  // replies held are in_[in_begin_, in_end_)
  size_t in_end_ = 0;
  bool peer_closed_ = false;         // the gateway has ended its side of the connection
  Clock::duration slowest_reply_{};  // the longest wait that ended with a reply
};

GatewaySocket::GatewaySocket(const asio::any_io_executor& executor)
    : impl_(std::make_unique<Impl>(executor)) {}

GatewaySocket::~GatewaySocket() = default;

void GatewaySocket::SetServer(std::string host, uint16_t port) {
  impl_->host_ = std::move(host);
  impl_->port_ = port;
}

void GatewaySocket::SetBeforeWrite(std::function<bool()> before_write) {
  impl_->before_write_ = std::move(before_write);
}

void GatewaySocket::SetIoTimeout(std::chrono::milliseconds timeout) {
  impl_->io_timeout_ = timeout;
}

awaitable<std::error_code> GatewaySocket::SendJobHeader(const JobHeader& header) {
  return impl_->SendJobHeader(header);
}

awaitable<std::error_code> GatewaySocket::SendTextMessage(std::string_view recipient,
                                                          std::string_view callback,
                                                          std::string_view text) {
  return impl_->SendTextMessage(recipient, callback, text);
}

awaitable<std::error_code> GatewaySocket::SendFileMessage(std::string_view recipient,
                                                          std::string_view callback,
                                                          std::string_view file) {
  return impl_->SendFileMessage(recipient, callback, file);
}

awaitable<std::error_code> GatewaySocket::Flush() { return impl_->Flush(); }

awaitable<std::error_code> GatewaySocket::EndJob(std::chrono::milliseconds timeout) {
  return impl_->EndJob(timeout);
}

awaitable<std::error_code> GatewaySocket::WaitReply(std::chrono::milliseconds timeout) {
  return impl_->WaitReply(timeout);
}

void GatewaySocket::Close() { impl_->Close(); }

std::span<const char, kJobReplySize> GatewaySocket::job_reply_record() const {
  return impl_->job_reply_record_;
}

std::span<const char, kAcknowledgementSize> GatewaySocket::ack_record() const {
  return impl_->ack_record_;
}

bool GatewaySocket::JobAccepted() const {
  std::optional<JobReply> reply = ParseJobReply(impl_->job_reply_record_);
  return reply && reply->accepted();
}

std::string GatewaySocket::JobId() const {
  std::optional<JobReply> reply = ParseJobReply(impl_->job_reply_record_);
  return reply ? reply->job_id : std::string();
}

bool GatewaySocket::AckOk() const {
  std::optional<Acknowledgement> ack = ParseAcknowledgement(impl_->ack_record_);
  return ack && ack->ok();
}

bool GatewaySocket::connected() const { return impl_->connected_; }
size_t GatewaySocket::title_cut_bytes() const { return impl_->title_cut_bytes_; }
int64_t GatewaySocket::cut_texts() const { return impl_->cut_texts_; }
int64_t GatewaySocket::messages() const { return impl_->messages_; }

}  // namespace parley
