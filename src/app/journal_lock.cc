#include "app/journal_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace parley {

std::filesystem::path JournalLockPath(const std::filesystem::path& journal) {
  std::filesystem::path lock = journal;
  lock += ".lock";
  return lock;
}

JournalLock::JournalLock(const std::filesystem::path& journal, uint16_t link_port)
    : path_(JournalLockPath(journal)) {
  // O_NOFOLLOW: a link planted at the name is no lock file. O_CLOEXEC: the UI program the engine
  // launches does not inherit the lock.
  const int fd =
      ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) {
    error_ = std::strerror(errno);
    return;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EWOULDBLOCK) {
      result_ = Result::kBusy;
      char text[64] = {};
      const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
      long pid = 0;
      int port = 0;
      if (n > 0 && std::sscanf(text, "%ld %d", &pid, &port) == 2) {
        holder_pid_ = static_cast<pid_t>(pid);
        holder_port_ = port;
      }
    } else {
      error_ = std::strerror(error);
    }
    ::close(fd);
    return;
  }
  fd_ = fd;
  result_ = Result::kHeld;
  NameHolder(link_port);
}

void JournalLock::NameHolder(uint16_t link_port) {
  if (fd_ < 0) return;
  // "<pid> <port>\n", for the next engine's message. Should it fail, the lock holds all the
  // same; only the holder's name is missing.
  char text[64];
  const int n = std::snprintf(text, sizeof text, "%ld %u\n", static_cast<long>(::getpid()),
                              static_cast<unsigned>(link_port));
  if (::ftruncate(fd_, 0) == 0) {
    [[maybe_unused]] const ssize_t ignored = ::pwrite(fd_, text, static_cast<size_t>(n), 0);
  }
}

JournalLock::~JournalLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace parley
