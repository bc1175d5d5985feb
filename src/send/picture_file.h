// Reading the picture files of an MMS package from the engine's TempIMG folder.
//
// A picture must be a regular file reached by its own name: a name that is a symbolic link is
// refused rather than followed (it could lead anywhere, /etc/passwd included), and so is a FIFO,
// a device or a folder. Its size is checked before a byte is read.
#ifndef PARLEY_SEND_PICTURE_FILE_H_
#define PARLEY_SEND_PICTURE_FILE_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace parley {

// The largest picture a package takes. An MMS picture is a few hundred KB at most; anything far
// larger is a mistake and would only be turned down by the gateway after it was sent to every
// recipient.
inline constexpr int64_t kMaxPictureBytes = 10 * 1024 * 1024;

enum class PictureStatus {
  kOk,
  kMissing,     // no file of that name, or it cannot be opened
  kNotRegular,  // a symbolic link, folder, FIFO or device
  kTooLarge,    // over the size limit
  kReadError,   // the read failed part way
};

struct PictureFile {
  PictureStatus status = PictureStatus::kMissing;
  std::string bytes;  // the whole file when status is kOk, else empty
};

// Reads the file at path whole when it is a regular file of at most max_bytes, opened without
// following a symbolic link in its last component. A file that grows past max_bytes while it is
// read counts as too large.
PictureFile ReadPictureFile(const std::filesystem::path& path,
                            int64_t max_bytes = kMaxPictureBytes);

// What status means, in a few English words for the log.
std::string_view PictureStatusText(PictureStatus status);

}  // namespace parley

#endif  // PARLEY_SEND_PICTURE_FILE_H_
