#include "gatesim/gate_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <limits>
#include <set>
#include <span>
#include <unordered_set>
#include <utility>
#include <vector>

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>

#include "gatesim/record_summary.h"
#include "send/gateway_records.h"
#include "testing/gate_record.h"

namespace parley::gatesim {
namespace {

using asio::awaitable;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using namespace asio::experimental::awaitable_operators;
constexpr auto use_tuple = asio::experimental::as_tuple(asio::use_awaitable);

// Bytes read at a time. Only the start of one packet is ever carried over between reads.
constexpr size_t kReadChunk = 256 * 1024;
constexpr size_t kNoAck = std::numeric_limits<size_t>::max();

// Waits until Wake(); a Wake() with nobody waiting is not remembered.
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

struct JobState {
  GateJob record;
  Clock::time_point started;
  bool file_job = false;
  bool nak_sent = false;
  bool finished = false;
  std::unordered_set<std::string> package_sums;
};

// A reply waiting to be written; an acknowledgement is stamped with sent_at once written.
struct Outgoing {
  std::string bytes;
  Clock::time_point not_before;
  std::shared_ptr<JobState> job;
  size_t ack_index = kNoAck;
};

class Session;

}  // namespace

class GateServer::State {
 public:
  State(asio::io_context& io, GateOptions gate_options)
      : acceptor(io), options(std::move(gate_options)) {}

  std::string NextJobId() {
    if (!options.job_id.empty()) return options.job_id.substr(0, kMaxJobIdBytes);
    int width = std::clamp(options.job_id_width, 2, static_cast<int>(kMaxJobIdBytes));
    char id[64];
    std::snprintf(id, sizeof id, "J%0*lld", width - 1, static_cast<long long>(next_job_id++));
    return id;
  }

  // Records a job that has ended: a line on stdout, a line in the record file.
  void Finish(JobState& job, std::string end) {
    if (job.finished) return;
    job.finished = true;
    GateJob& r = job.record;
    r.end = std::move(end);
    r.seconds = std::chrono::duration<double>(Clock::now() - job.started).count();
    ++summary.jobs;
    summary.messages += r.received;
    summary.bytes += r.bytes;
    summary.seconds += r.seconds;
    double rate = r.seconds > 0 ? static_cast<double>(r.received) / r.seconds : 0;
    double mb = r.seconds > 0 ? static_cast<double>(r.bytes) / r.seconds / 1e6 : 0;
    std::printf(
        "gatesim job %lld %s (%s): %lld messages, %lld bytes in %.3f s: %.0f messages/s, "
        "%.1f MB/s; %s\n",
        static_cast<long long>(r.number), r.job_id.c_str(), r.header.type_code.c_str(),
        static_cast<long long>(r.received), static_cast<long long>(r.bytes), r.seconds, rate, mb,
        r.end.c_str());
    std::fflush(stdout);
    if (!options.record_path.empty()) {
      std::ofstream out(options.record_path, std::ios::app | std::ios::binary);
      out << ToJsonLine(r) << '\n';
      if (!out) std::fprintf(stderr, "gatesim: cannot write %s\n", options.record_path.c_str());
    }
  }

  tcp::acceptor acceptor;
  const GateOptions options;
  int64_t next_job = 1;
  int64_t next_job_id = 1;
  GateSummary summary;
  std::set<Session*> sessions;
  bool stopped = false;
};

namespace {

// One connection: a reader that parses packets and queues replies, and a writer that sends them
// in order (split, delayed) without holding up the reader.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, std::shared_ptr<GateServer::State> state)
      : socket_(std::move(socket)),
        state_(std::move(state)),
        options_(state_->options),
        recording_(!options_.record_path.empty()),
        buffer_(kReadChunk),
        writer_signal_(socket_.get_executor()),
        pause_(socket_.get_executor()) {}

  awaitable<void> Run() {
    auto self = shared_from_this();
    state_->sessions.insert(this);
    co_await (Reader() && Writer());
    state_->sessions.erase(this);
    Close();
  }

  // The simulator is ending: the open job is recorded as ended by the signal.
  void EndBySignal() {
    FinishJob("signal");
    Close();
  }

 private:
  awaitable<void> Reader() {
    std::string reason;
    for (;;) {
      auto [ec, n] = co_await socket_.async_read_some(
          asio::buffer(buffer_.data() + end_, buffer_.size() - end_), use_tuple);
      if (ec) {
        reason = ec == asio::error::eof ? "client closed" : "read error: " + ec.message();
        break;
      }
      end_ += n;
      bool go_on = Parse();
      std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
      if (!go_on) {
        reason = close_reason_;
        Close();
        break;
      }
    }
    FinishJob(reason);
    closing_ = true;
    writer_signal_.Wake();
  }

  awaitable<void> Writer() {
    for (;;) {
      while (!queue_.empty() && socket_.is_open()) {
        Outgoing& out = queue_.front();
        if (out.not_before > Clock::now()) {
          pause_.expires_at(out.not_before);
          co_await pause_.async_wait(use_tuple);
        }
        std::error_code ec;
        if (options_.split) {
          for (size_t i = 0; i < out.bytes.size() && !ec; ++i) {
            if (i > 0) {
              pause_.expires_after(std::chrono::milliseconds(options_.split_pause_ms));
              co_await pause_.async_wait(use_tuple);
            }
            auto [write_error, n] =
                co_await asio::async_write(socket_, asio::buffer(&out.bytes[i], 1), use_tuple);
            ec = write_error;
          }
        } else {
          auto [write_error, n] =
              co_await asio::async_write(socket_, asio::buffer(out.bytes), use_tuple);
          ec = write_error;
        }
        if (ec) {
          queue_.clear();
          co_return;
        }
        if (out.job && out.ack_index != kNoAck) {
          out.job->record.acks[out.ack_index].sent_at = out.job->record.received;
        }
        queue_.pop_front();
      }
      if (closing_ || !socket_.is_open()) co_return;
      co_await writer_signal_.Wait();
    }
  }

  // Takes every whole packet (and any part of a file) held in the buffer. Returns false when
  // the connection is to be closed, with close_reason_ set.
  bool Parse() {
    for (;;) {
      const char* p = buffer_.data() + begin_;
      size_t held = end_ - begin_;
      if (body_remaining_ > 0) {
        if (held == 0) return true;
        size_t take = static_cast<size_t>(std::min(body_remaining_, static_cast<int64_t>(held)));
        if (recording_) {
          body_sum_.Add(std::string_view(p, take));
          body_.append(p, take);
        }
        job_->record.bytes += static_cast<int64_t>(take);
        begin_ += take;
        body_remaining_ -= static_cast<int64_t>(take);
        if (body_remaining_ == 0 && !FileMessageDone()) return false;
        continue;
      }
      if (held == 0) return true;
      if (p[0] == kJobHeaderType) {
        if (held < kJobHeaderSize) return true;
        begin_ += kJobHeaderSize;
        if (!StartJob(std::span<const char>(p, kJobHeaderSize))) return false;
        continue;
      }
      if (p[0] == kMessageType && job_ && !job_->file_job) {
        if (held < kTextMessageSize) return true;
        if (recording_) {
          TextMessageView m = *ParseTextMessage(std::span<const char>(p, kTextMessageSize));
          job_->record.messages.push_back(GateMessage{
              std::string(m.recipient), std::string(m.callback), std::string(m.text), 0, ""});
        }
        begin_ += kTextMessageSize;
        job_->record.bytes += static_cast<int64_t>(kTextMessageSize);
        if (!MessageDone()) return false;
        continue;
      }
      if (p[0] == kMessageType && job_) {
        if (held < kFileMessageHeadSize) return true;
        auto head = ParseFileMessageHead(std::span<const char>(p, kFileMessageHeadSize));
        if (!head) {
          close_reason_ = "protocol error: file length is not a number at message " +
                          std::to_string(job_->record.received + 1);
          return false;
        }
        file_message_ = GateMessage{std::string(head->recipient), std::string(head->callback), "",
                                    head->length, ""};
        begin_ += kFileMessageHeadSize;
        job_->record.bytes += static_cast<int64_t>(kFileMessageHeadSize);
        body_remaining_ = head->length;
        body_sum_ = Checksum();
        body_.clear();
        if (body_remaining_ == 0 && !FileMessageDone()) return false;
        continue;
      }
      char text[96];
      std::snprintf(text, sizeof text, "protocol error: byte 0x%02x where a packet should start",
                    static_cast<unsigned char>(p[0]));
      close_reason_ = text;
      return false;
    }
  }

  bool StartJob(std::span<const char> header) {
    if (job_) FinishJob("next job");
    job_ = std::make_shared<JobState>();
    GateJob& r = job_->record;
    r.number = state_->next_job++;
    r.header = *ParseJobHeader(header);
    r.bytes = kJobHeaderSize;
    r.job_id = state_->NextJobId();
    job_->started = Clock::now();
    job_->file_job = r.header.type_code != "SMS";
    if (options_.close_after == 0) {
      close_reason_ = "closed after 0 messages";
      return false;
    }
    if (options_.silent) return true;
    r.result = options_.refuse ? '1' : kResultOk;
    std::string reply(kJobReplySize, '\0');
    BuildJobReply(r.result, r.job_id, std::span<char, kJobReplySize>(reply.data(), kJobReplySize));
    if (options_.bad_type) reply[0] = '7';
    if (options_.ack_after_reply) {
      char ack[kAcknowledgementSize];
      BuildAcknowledgement(kResultOk, ack);
      reply.append(ack, sizeof ack);
    }
    Queue(std::move(reply), Clock::now(), kNoAck);
    return true;
  }

  bool FileMessageDone() {
    if (recording_) {
      file_message_.checksum = body_sum_.Hex();
      if (job_->package_sums.insert(file_message_.checksum).second) {
        job_->record.packages.push_back(GatePackage{file_message_.checksum, std::move(body_)});
      }
      job_->record.messages.push_back(std::move(file_message_));
      body_.clear();
    }
    return MessageDone();
  }

  bool MessageDone() {
    GateJob& r = job_->record;
    int64_t n = ++r.received;
    int64_t interval = r.header.interval > 0 ? r.header.interval : kAckInterval;
    if (n % interval == 0 && !options_.silent) {
      char result = kResultOk;
      if (options_.nak_at >= 0 && !job_->nak_sent && n >= options_.nak_at) {
        result = '1';
        job_->nak_sent = true;
      }
      r.acks.push_back(GateAck{n, result, -1});
      char ack[kAcknowledgementSize];
      BuildAcknowledgement(result, ack);
      Queue(std::string(ack, sizeof ack),
            Clock::now() + std::chrono::milliseconds(options_.ack_delay_ms), r.acks.size() - 1);
    }
    if (options_.close_after >= 0 && n >= options_.close_after) {
      close_reason_ = "closed after " + std::to_string(n) + " messages";
      return false;
    }
    return true;
  }

  void Queue(std::string bytes, Clock::time_point not_before, size_t ack_index) {
    queue_.push_back(Outgoing{std::move(bytes), not_before, job_, ack_index});
    writer_signal_.Wake();
  }

  void FinishJob(std::string end) {
    if (!job_) return;
    if (body_remaining_ > 0) end += " inside a file message";
    state_->Finish(*job_, std::move(end));
  }

  void Close() {
    std::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    pause_.cancel();
    writer_signal_.Wake();
  }

  tcp::socket socket_;
  std::shared_ptr<GateServer::State> state_;
  const GateOptions& options_;
  const bool recording_;
  std::vector<char> buffer_;
  size_t begin_ = 0;  // unparsed bytes are buffer_[begin_, end_)
  size_t end_ = 0;
  std::shared_ptr<JobState> job_;
  int64_t body_remaining_ = 0;  // bytes of the current file still to come
  GateMessage file_message_;
  Checksum body_sum_;
  std::string body_;
  std::string close_reason_;
  std::deque<Outgoing> queue_;
  Signal writer_signal_;
  asio::steady_timer pause_;
  bool closing_ = false;
};

awaitable<void> AcceptLoop(std::shared_ptr<GateServer::State> state) {
  for (;;) {
    auto [ec, socket] = co_await state->acceptor.async_accept(use_tuple);
    if (state->stopped || !state->acceptor.is_open()) co_return;
    if (ec) {
      std::fprintf(stderr, "gatesim: accept failed: %s\n", ec.message().c_str());
      asio::steady_timer pause(state->acceptor.get_executor(), std::chrono::milliseconds(100));
      co_await pause.async_wait(use_tuple);
      continue;
    }
    std::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);
    auto session = std::make_shared<Session>(std::move(socket), state);
    asio::co_spawn(state->acceptor.get_executor(), session->Run(), asio::detached);
  }
}

}  // namespace

GateServer::GateServer(asio::io_context& io, GateOptions options)
    : state_(std::make_shared<State>(io, std::move(options))) {}

GateServer::~GateServer() {
  std::error_code ignored;
  state_->acceptor.close(ignored);
}

std::error_code GateServer::Listen(uint16_t port) {
  std::error_code ec;
  tcp::endpoint endpoint(asio::ip::make_address_v4("127.0.0.1"), port);
  tcp::acceptor& acceptor = state_->acceptor;
  acceptor.open(endpoint.protocol(), ec);
  if (!ec) acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) acceptor.bind(endpoint, ec);
  if (!ec) acceptor.listen(64, ec);
  if (ec) {
    std::error_code ignored;
    acceptor.close(ignored);
  }
  return ec;
}

uint16_t GateServer::port() const {
  std::error_code ec;
  auto endpoint = state_->acceptor.local_endpoint(ec);
  return ec ? 0 : endpoint.port();
}

void GateServer::Start() {
  asio::co_spawn(state_->acceptor.get_executor(), AcceptLoop(state_), asio::detached);
}

void GateServer::Stop() {
  state_->stopped = true;
  std::error_code ignored;
  state_->acceptor.close(ignored);
  std::vector<Session*> open(state_->sessions.begin(), state_->sessions.end());
  for (Session* session : open) session->EndBySignal();
}

GateSummary GateServer::summary() const { return state_->summary; }

}  // namespace parley::gatesim
