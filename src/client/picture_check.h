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
#include <string>
#include <vector>

#include "client/messages.h"

namespace parley {

inline constexpr size_t kMaxPictures = 3;
inline constexpr size_t kMaxPictureBytes = 300 * 1024;

// The problems of the pictures (none when they may be sent), one line each.
std::vector<std::string> CheckPictures(const std::vector<std::string>& paths, Language language,
                                       size_t max_bytes = kMaxPictureBytes);

}  // namespace parley

#endif  // PARLEY_CLIENT_PICTURE_CHECK_H_
