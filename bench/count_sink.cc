#include "count_sink.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "send/gateway_records.h"

namespace parley {
namespace {

// Bytes taken by one read.
constexpr size_t kReadBytes = 1 << 20;

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Follows the message stream of one job: where each packet ends and when an acknowledgement is due.
class Framer {
 public:
  Framer(bool file_job, int64_t count, int64_t interval)
      : file_job_(file_job), count_(count), interval_(interval) {}

  std::chrono::steady_clock::time_point last_message_at() const { return last_message_at_; }

  // Walks over bytes; calls ack() after every interval-th message. Returns false when a file
  // message head does not parse.
  template <typename Ack>
  bool Take(std::span<const char> bytes, int64_t& messages, Ack&& ack) {
    while (!bytes.empty()) {
      if (skip_ == 0 && !in_body_) {
        if (!file_job_) {
          skip_ = kTextMessageSize;
          in_body_ = true;
          continue;
        }
        const size_t take = std::min(kFileMessageHeadSize - head_size_, bytes.size());
        std::memcpy(head_.data() + head_size_, bytes.data(), take);
        head_size_ += take;
        bytes = bytes.subspan(take);
        if (head_size_ < kFileMessageHeadSize) return true;
        head_size_ = 0;
        std::optional<FileMessageHeadView> head = ParseFileMessageHead(head_);
        if (!head) return false;
        skip_ = static_cast<size_t>(head->length);
        in_body_ = true;
        if (skip_ > 0) continue;
      }
      const size_t take = std::min(skip_, bytes.size());
      skip_ -= take;
      bytes = bytes.subspan(take);
      if (skip_ > 0) return true;
      in_body_ = false;
      if (++messages == count_) last_message_at_ = std::chrono::steady_clock::now();
      if (messages % interval_ == 0) ack();
    }
    return true;
  }

 private:
  bool file_job_;
  int64_t count_;
  int64_t interval_;
  std::chrono::steady_clock::time_point last_message_at_;
  std::array<char, kFileMessageHeadSize> head_{};
  size_t head_size_ = 0;
  size_t skip_ = 0;       // body bytes still to come of the current message
  bool in_body_ = false;  // a head was taken (or a text packet began) and its body is not done
};

}  // namespace

CountSink::CountSink() {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
      ::listen(listen_fd_, 1) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    if (listen_fd_ >= 0) ::close(listen_fd_);
    throw std::runtime_error("count sink: cannot listen");
  }
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

CountSink::~CountSink() {
  ::shutdown(listen_fd_, SHUT_RDWR);
  if (thread_.joinable()) thread_.join();
  ::close(listen_fd_);
}

CountSink::Counts CountSink::Wait() {
  if (thread_.joinable()) thread_.join();
  return counts_;
}

void CountSink::Serve() {
  const int fd = ::accept(listen_fd_, nullptr, nullptr);
  if (fd < 0) {
    counts_.error = "accept failed";
    return;
  }
  std::vector<char> buffer(kReadBytes);
  std::array<char, kJobHeaderSize> header{};
  size_t header_size = 0;
  std::optional<Framer> framer;
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n == 0) break;
    if (n < 0) {
      counts_.error = "read failed";
      break;
    }
    counts_.bytes += n;
    std::span<const char> bytes(buffer.data(), static_cast<size_t>(n));
    if (!framer) {
      const size_t take = std::min(kJobHeaderSize - header_size, bytes.size());
      std::memcpy(header.data() + header_size, bytes.data(), take);
      header_size += take;
      bytes = bytes.subspan(take);
      if (header_size < kJobHeaderSize) continue;
      std::optional<JobHeader> job = ParseJobHeader(header);
      if (!job) {
        counts_.error = "bad job header";
        break;
      }
      std::array<char, kJobReplySize> reply{};
      BuildJobReply(kResultOk, "bench", reply);
      if (!WriteAll(fd, reply.data(), reply.size())) {
        counts_.error = "job reply write failed";
        break;
      }
      framer.emplace(job->type_code != "SMS", job->count,
                     job->interval > 0 ? job->interval : kAckInterval);
    }
    bool ack_failed = false;
    const bool framed = framer->Take(bytes, counts_.messages, [&] {
      std::array<char, kAcknowledgementSize> ack{};
      BuildAcknowledgement(kResultOk, ack);
      ack_failed = ack_failed || !WriteAll(fd, ack.data(), ack.size());
    });
    if (!framed || ack_failed) {
      counts_.error = framed ? "acknowledgement write failed" : "bad file message head";
      break;
    }
  }
  if (framer) counts_.last_message_at = framer->last_message_at();
  ::close(fd);
}

}  // namespace parley
