#include "ui/ui_handover.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace parley {
namespace {

using Clock = std::chrono::steady_clock;

bool SocketAddress(const std::filesystem::path& path, sockaddr_un* address) {
  const std::string text = path.string();
  if (text.empty() || text.size() >= sizeof address->sun_path) return false;
  *address = {};
  address->sun_family = AF_UNIX;
  std::memcpy(address->sun_path, text.c_str(), text.size() + 1);
  return true;
}

// Reads a line (without its "\n") until `until`; false when it does not come whole.
bool ReadLine(int fd, Clock::time_point until, std::string* line) {
  line->clear();
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char c;
    if (::recv(fd, &c, 1, 0) != 1) return false;
    if (c == '\n') return true;
    if (line->size() > 4096) return false;
    *line += c;
  }
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::filesystem::path UiHandover::Folder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::filesystem::path folder =
      runtime != nullptr && *runtime == '/'
          ? std::filesystem::path(runtime) / "parley-ui"
          : std::filesystem::temp_directory_path() / ("parley-ui-" + std::to_string(::getuid()));
  ::mkdir(folder.c_str(), 0700);
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
      (st.st_mode & 077) != 0) {
    return {};
  }
  return folder;
}

UiHandover::UiHandover(uint16_t link_port) {
  const std::filesystem::path folder = Folder();
  const std::string name = "link-" + std::to_string(link_port);
  sockaddr_un address;
  if (folder.empty() || !SocketAddress(folder / (name + ".sock"), &address)) {
    held_ = true;  // nowhere to meet: served on its own
    return;
  }
  lock_path_ = folder / (name + ".lock");
  socket_path_ = folder / (name + ".sock");
  lock_fd_ = ::open(lock_path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  held_ = lock_fd_ < 0 || ::flock(lock_fd_, LOCK_EX | LOCK_NB) == 0;
}

UiHandover::~UiHandover() { Stop(); }

void UiHandover::Stop() {
  stopping_ = true;
  if (listen_fd_ >= 0) ::shutdown(listen_fd_, SHUT_RDWR);
  if (server_.joinable()) server_.join();
  if (listen_fd_ >= 0) {
    ::close(listen_fd_);
    ::unlink(socket_path_.c_str());
    listen_fd_ = -1;
  }
  if (lock_fd_ >= 0) ::close(lock_fd_);  // and the lock with it
  lock_fd_ = -1;
}

void UiHandover::Serve(std::function<std::string(bool open)> address) {
  sockaddr_un where;
  if (!held_ || lock_fd_ < 0 || !SocketAddress(socket_path_, &where)) return;
  // A socket left by a parley-ui that ended without removing it.
  ::unlink(socket_path_.c_str());
  listen_fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) return;
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
      ::listen(listen_fd_, 4) != 0) {
    ::close(listen_fd_);
    listen_fd_ = -1;
    return;
  }
  server_ = std::thread([this, address = std::move(address)] {
    while (!stopping_) {
      pollfd p{listen_fd_, POLLIN, 0};
      if (::poll(&p, 1, 200) <= 0) continue;
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ucred peer{};
      socklen_t size = sizeof peer;
      std::string request;
      if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid() &&
          ReadLine(fd, Clock::now() + std::chrono::seconds(2), &request) &&
          (request == "open" || request == "address")) {
        WriteAll(fd, address(request == "open") + "\n");
      }
      ::close(fd);
    }
  });
}

std::string UiHandover::AskHolder(bool open, std::chrono::milliseconds timeout) const {
  sockaddr_un where;
  if (held_ || !SocketAddress(socket_path_, &where)) return {};
  const auto until = Clock::now() + timeout;
  // The holder may still be starting: its socket comes once its page is served.
  while (Clock::now() < until) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    std::string line;
    const bool answered = ::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 &&
                          WriteAll(fd, open ? "open\n" : "address\n") && ReadLine(fd, until, &line);
    ::close(fd);
    if (answered && !line.empty()) return line;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return {};
}

}  // namespace parley
