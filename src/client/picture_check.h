// The pictures of an MMS send: JPEG files (by their first bytes, FF D8 FF), at most
// kMaxPictures, each at most kMaxPictureBytes.
//
// kMaxPictureBytes is 300 KB (307,200 bytes): the Korean carriers take MMS pictures up to about
// 300 KB each and bulk-messaging services refuse larger files or leave them to be shrunk by the
// carrier, which may drop the message; a larger file is refused here instead of being charged and
// lost.
#ifndef PARLEY_CLIENT_PICTURE_CHECK_H_
#define PARLEY_CLIENT_PICTURE_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/messages.h"
#include "client/verdict.h"

namespace parley {

inline constexpr size_t kMaxPictures = 3;
inline constexpr size_t kMaxPictureBytes = 300 * 1024;

// What is wrong with one picture, judged by its first bytes and its size.
enum class PictureProblem {
  kNone,
  kUnreadable,  // the file cannot be read
  kNotJpeg,     // its first bytes are not FF D8 FF, whatever its name says
  kTooLarge,    // over max_bytes
};
PictureProblem JudgePicture(std::string_view head, uint64_t size,
                            size_t max_bytes = kMaxPictureBytes);
// The same for a file.
PictureProblem JudgePictureFile(const std::string& path, size_t max_bytes = kMaxPictureBytes);

// The verdict on one picture named `name` of `size` bytes (nullopt for kNone).
std::optional<Verdict> PictureVerdict(PictureProblem problem, const std::string& name,
                                      uint64_t size, size_t max_bytes = kMaxPictureBytes);

// The verdict on the number of pictures (nullopt for at most kMaxPictures).
std::optional<Verdict> PictureCountVerdict(size_t count);

// The problems of the pictures (none when they may be sent), one line each.
std::vector<Verdict> CheckPictures(const std::vector<std::string>& paths,
                                   size_t max_bytes = kMaxPictureBytes);

}  // namespace parley

#endif  // PARLEY_CLIENT_PICTURE_CHECK_H_
