#include "client/link_client.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace parley {

LinkClient::~LinkClient() { Close(); }

void LinkClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  parser_ = FrameParser();
}

bool LinkClient::Connect(const std::string& address, uint16_t port, std::string* error) {
  Close();
  // An address or a host name ("localhost"); each of its addresses is tried in turn.
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int rc = ::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (rc != 0 || found == nullptr) {
    *error = "cannot resolve " + address + ": " + ::gai_strerror(rc);
    return false;
  }
  int last_errno = 0;
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    fd_ = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd_ >= 0 && ::connect(fd_, a->ai_addr, a->ai_addrlen) == 0) break;
    last_errno = errno;
    Close();
  }
  ::freeaddrinfo(found);
  if (fd_ < 0) {
    *error = "cannot connect to " + address + ":" + std::to_string(port) + ": " +
             std::strerror(last_errno);
    return false;
  }
  int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return true;
}

bool LinkClient::Write(std::string_view bytes, std::string* error) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = std::string("write failed: ") + std::strerror(errno);
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool LinkClient::SendMessage(std::string_view code, std::string_view body, std::string* error) {
  return Write(MakeMessage(code, body), error);
}

bool LinkClient::ReadMessage(RawMessage* out, int timeout_ms, std::string* error,
                             const std::function<void(int64_t)>& on_wait) {
  using Clock = std::chrono::steady_clock;
  constexpr int kTickMs = 125;
  const auto start = Clock::now();
  const auto deadline = start + std::chrono::milliseconds(timeout_ms);
  char buffer[64 * 1024];
  for (;;) {
    switch (parser_.Next(out, error)) {
      case FrameParser::Status::kMessage:
        return true;
      case FrameParser::Status::kError:
        return false;
      case FrameParser::Status::kNeedMore:
        break;
    }
    int wait = -1;
    if (timeout_ms >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        *error = "no reply within " + std::to_string(timeout_ms) + " ms";
        return false;
      }
      wait = static_cast<int>(left.count());
    }
    if (on_wait) {
      wait = wait < 0 ? kTickMs : std::min(wait, kTickMs);
      on_wait(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    }
    pollfd p{fd_, POLLIN, 0};
    int ready = ::poll(&p, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;  // the deadline check above reports the time-out
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n == 0 ? "the engine closed the connection"
                      : std::string("read failed: ") + std::strerror(errno);
      return false;
    }
    parser_.Append(std::string_view(buffer, static_cast<size_t>(n)));
  }
}

bool LinkClient::WaitForClose(int timeout_ms) {
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return false;
  char c;
  return ::recv(fd_, &c, 1, 0) == 0 && parser_.buffered() == 0;
}

}  // namespace parley
