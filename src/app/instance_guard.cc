#include "app/instance_guard.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace parley {

InstanceGuard::InstanceGuard(uint16_t port) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // Leading NUL: the abstract namespace.
  int n = std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1, "parley-link-%u",
                        static_cast<unsigned>(port));
  socklen_t length =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<size_t>(n));
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
}

InstanceGuard::~InstanceGuard() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace parley
