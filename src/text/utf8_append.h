// Writing one Unicode scalar value as UTF-8.
#ifndef PARLEY_TEXT_UTF8_APPEND_H_
#define PARLEY_TEXT_UTF8_APPEND_H_

#include <cstdint>
#include <string>

namespace parley {

// Appends code (at most U+10FFFF) to *out as UTF-8.
inline void AppendUtf8(uint32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xc0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3f)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xe0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3f)));
  } else {
    out->push_back(static_cast<char>(0xf0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3f)));
  }
}

}  // namespace parley

#endif  // PARLEY_TEXT_UTF8_APPEND_H_
