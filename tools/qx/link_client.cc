#include "qx/link_client.h"

#include <arpa/inet.h>
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
  sockaddr_storage storage{};
  socklen_t length = 0;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
  if (::inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    length = sizeof *v4;
  } else if (::inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    length = sizeof *v6;
  } else {
    *error = "not an IP address: " + address;
    return false;
  }
  fd_ = ::socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&storage), length) != 0) {
    *error =
        "cannot connect to " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    Close();
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
  constexpr int kTickMs = 200;
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
