#include "ui/page_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

namespace parley {
namespace {

using Clock = std::chrono::steady_clock;

// The connection whose request this thread handles.
thread_local std::atomic<bool>* current_admitted = nullptr;

// A thread for each connection; shutdown waits for all of them.
class ThreadPerConnection : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> fn) override {
    auto state = state_;
    {
      std::lock_guard lock(state->mutex);
      ++state->running;
    }
    auto run = [state, fn = std::move(fn)] {
      fn();
      std::lock_guard lock(state->mutex);
      if (--state->running == 0) state->idle.notify_all();
    };
    try {
      std::thread(run).detach();
    } catch (const std::system_error&) {
      run();  // no thread to be had: served here, the others wait
    }
  }

  void shutdown() override {
    std::unique_lock lock(state_->mutex);
    state_->idle.wait(lock, [&] { return state_->running == 0; });
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable idle;
    size_t running = 0;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

// The uid that owns the other end of a TCP connection on this machine, from /proc/net/tcp (the
// peer's socket is the line whose local address is our peer and remote address is us).
int64_t PeerUser(int fd) {
  sockaddr_in peer{};
  sockaddr_in local{};
  socklen_t size = sizeof peer;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
      peer.sin_family != AF_INET) {
    return -1;
  }
  size = sizeof local;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) return -1;
  char theirs[16];
  char ours[16];
  std::snprintf(theirs, sizeof theirs, "%08X:%04X", peer.sin_addr.s_addr, ntohs(peer.sin_port));
  std::snprintf(ours, sizeof ours, "%08X:%04X", local.sin_addr.s_addr, ntohs(local.sin_port));
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);  // the column names
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, from, to, state, queues, timer, retransmits;
    int64_t uid = -1;
    if (fields >> slot >> from >> to >> state >> queues >> timer >> retransmits >> uid &&
        from == theirs && to == ours) {
      return uid;
    }
  }
  return -1;
}

// A connection's stream: every read of a request ends at its deadline, however the bytes
// trickle in, and every wait gives way when the server stops.
class DeadlineStream : public httplib::Stream {
 public:
  DeadlineStream(int fd, std::chrono::milliseconds read_timeout,
                 std::chrono::milliseconds write_timeout, std::function<bool()> stopping)
      : fd_(fd),
        read_timeout_(read_timeout),
        write_timeout_(write_timeout),
        stopping_(std::move(stopping)) {}

  // Waits for the next request to begin, at most `idle`; false when it does not (or the peer
  // closed the connection, which the read then tells).
  bool WaitForRequest(std::chrono::milliseconds idle) {
    if (offset_ < size_) return true;
    return Wait(POLLIN, Clock::now() + idle);
  }
  void StartRequest(Clock::time_point deadline) { deadline_ = deadline; }

  bool is_readable() const override {
    return offset_ < size_ || const_cast<DeadlineStream*>(this)->Wait(
                                  POLLIN, std::min(deadline_, Clock::now() + read_timeout_));
  }
  bool is_writable() const override {
    return const_cast<DeadlineStream*>(this)->Wait(POLLOUT, Clock::now() + write_timeout_);
  }

  ssize_t read(char* ptr, size_t size) override {
    if (offset_ == size_) {
      if (!is_readable()) return -1;
      const ssize_t n = ::recv(fd_, buffer_, sizeof buffer_, 0);
      if (n <= 0) return n;
      offset_ = 0;
      size_ = static_cast<size_t>(n);
    }
    const size_t n = std::min(size, size_ - offset_);
    std::copy_n(buffer_ + offset_, n, ptr);
    offset_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (!is_writable()) return -1;
    return ::send(fd_, ptr, size, MSG_NOSIGNAL);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    Address(::getpeername, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    Address(::getsockname, ip, port);
  }
  socket_t socket() const override { return fd_; }

 private:
  // Polls for `events` in short slices until `until`, giving way when the server stops.
  bool Wait(short events, Clock::time_point until) {
    for (;;) {
      if (stopping_()) return false;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
      if (left.count() <= 0) return false;
      pollfd p{fd_, events, 0};
      const int ready = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 100)));
      if (ready > 0) return true;
      if (ready < 0 && errno != EINTR) return false;
    }
  }

  void Address(int (*get)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    char text[INET_ADDRSTRLEN] = "";
    if (get(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0 &&
        address.sin_family == AF_INET) {
      ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
      port = ntohs(address.sin_port);
    }
    ip = text;
  }

  const int fd_;
  const std::chrono::milliseconds read_timeout_;
  const std::chrono::milliseconds write_timeout_;
  const std::function<bool()> stopping_;
  Clock::time_point deadline_ = Clock::now();
  char buffer_[4096];
  size_t offset_ = 0;
  size_t size_ = 0;
};

}  // namespace

PageHttpServer::PageHttpServer() {
  new_task_queue = [] { return new ThreadPerConnection; };
}

void PageHttpServer::AdmitCurrentConnection() {
  if (current_admitted != nullptr) *current_admitted = true;
}

PageHttpServer::Connection* PageHttpServer::Enter(int fd) {
  const int64_t user = PeerUser(fd);
  std::lock_guard lock(mutex_);
  size_t open = 0;
  Connection* oldest_stranger = nullptr;
  for (Connection& c : connections_) {
    if (c.user != user || c.closing) continue;
    ++open;
    if (oldest_stranger == nullptr && !c.admitted) oldest_stranger = &c;
  }
  if (open >= kConnectionsPerUser) {
    if (oldest_stranger == nullptr) return nullptr;
    // Its thread sees the connection end and leaves.
    oldest_stranger->closing = true;
    ::shutdown(oldest_stranger->fd, SHUT_RDWR);
  }
  Connection& c = connections_.emplace_back();
  c.fd = fd;
  c.user = user;
  return &c;
}

void PageHttpServer::Leave(Connection* connection) {
  std::lock_guard lock(mutex_);
  connections_.remove_if([&](const Connection& c) { return &c == connection; });
}

void PageHttpServer::Serve(Connection& connection) {
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  using std::chrono::seconds;
  const auto read_timeout =
      duration_cast<milliseconds>(seconds(read_timeout_sec_)) +
      duration_cast<milliseconds>(std::chrono::microseconds(read_timeout_usec_));
  const auto write_timeout =
      duration_cast<milliseconds>(seconds(write_timeout_sec_)) +
      duration_cast<milliseconds>(std::chrono::microseconds(write_timeout_usec_));
  DeadlineStream stream(connection.fd, read_timeout, write_timeout, [this] { return Stopping(); });
  for (size_t left = keep_alive_max_count_; left > 0 && !Stopping(); --left) {
    if (!stream.WaitForRequest(seconds(keep_alive_timeout_sec_))) break;
    stream.StartRequest(Clock::now() + kRequestReadTime);
    bool closed = false;
    current_admitted = &connection.admitted;
    const bool ok = process_request(stream, left == 1 || Stopping(), closed, nullptr);
    current_admitted = nullptr;
    if (!ok || closed) break;
  }
}

bool PageHttpServer::process_and_close_socket(socket_t sock) {
  if (Connection* connection = Enter(sock)) {
    Serve(*connection);
    Leave(connection);
  }
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  return true;
}

}  // namespace parley
