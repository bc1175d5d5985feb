#include "send/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace parley {
namespace {

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

PictureFile ReadPictureFile(const std::filesystem::path& path, int64_t max_bytes) {
  PictureFile picture;
  // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; fstat then turns it down.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) {
    picture.status = errno == ELOOP ? PictureStatus::kNotRegular : PictureStatus::kMissing;
    return picture;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    picture.status = PictureStatus::kReadError;
    return picture;
  }
  if (!S_ISREG(st.st_mode)) {
    picture.status = PictureStatus::kNotRegular;
    return picture;
  }
  if (st.st_size > max_bytes) {
    picture.status = PictureStatus::kTooLarge;
    return picture;
  }
  // One byte more than the limit shows a file that grew meanwhile.
  const size_t limit = static_cast<size_t>(max_bytes) + 1;
  std::string bytes(std::min(static_cast<size_t>(st.st_size) + 1, limit), '\0');
  size_t have = 0;
  for (;;) {
    if (have == bytes.size()) {
      if (bytes.size() >= limit) break;
      bytes.resize(std::min(bytes.size() * 2, limit));
    }
    const ssize_t n = ::read(fd.get(), bytes.data() + have, bytes.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      picture.status = PictureStatus::kReadError;
      return picture;
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
  }
  if (have > static_cast<size_t>(max_bytes)) {
    picture.status = PictureStatus::kTooLarge;
    return picture;
  }
  bytes.resize(have);
  picture.status = PictureStatus::kOk;
  picture.bytes = std::move(bytes);
  return picture;
}

std::string_view PictureStatusText(PictureStatus status) {
  switch (status) {
    case PictureStatus::kOk:
      return "read";
    case PictureStatus::kMissing:
      return "missing or cannot be opened";
    case PictureStatus::kNotRegular:
      return "not a regular file (a symbolic link, folder or device)";
    case PictureStatus::kTooLarge:
      return "larger than the picture limit";
    case PictureStatus::kReadError:
      return "cannot be read";
  }
  return "";
}

}  // namespace parley
