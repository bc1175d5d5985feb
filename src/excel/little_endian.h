// Little-endian integers inside file formats (zip headers, compound files, BIFF records). The
// caller has checked that the bytes are there.
#ifndef PARLEY_EXCEL_LITTLE_ENDIAN_H_
#define PARLEY_EXCEL_LITTLE_ENDIAN_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace parley {

inline uint16_t Le16(std::string_view bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                               static_cast<unsigned char>(bytes[at + 1]) << 8);
}

inline uint32_t Le32(std::string_view bytes, size_t at) {
  return static_cast<uint32_t>(Le16(bytes, at)) | static_cast<uint32_t>(Le16(bytes, at + 2)) << 16;
}

}  // namespace parley

#endif  // PARLEY_EXCEL_LITTLE_ENDIAN_H_
