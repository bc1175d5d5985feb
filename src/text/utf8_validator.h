// Telling whether bytes are well-formed UTF-8, in one piece or fed in pieces.
#ifndef PARLEY_TEXT_UTF8_VALIDATOR_H_
#define PARLEY_TEXT_UTF8_VALIDATOR_H_

#include <cstddef>
#include <string_view>

namespace parley {

// Checks UTF-8 fed in pieces: shortest forms only, no surrogates, nothing above U+10FFFF.
class Utf8Validator {
 public:
  // True when text, whole, is well-formed UTF-8.
  static bool IsValid(std::string_view text) {
    Utf8Validator validator;
    validator.Feed(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    return validator.Complete();
  }

  // False once any invalid sequence has been seen.
  bool Feed(const unsigned char* data, size_t size) {
    for (size_t i = 0; i < size && valid_; ++i) Byte(data[i]);
    return valid_;
  }
  // True when the text fed was valid and did not end inside a sequence.
  bool Complete() const { return valid_ && need_ == 0; }

 private:
  void Byte(unsigned char b) {
    if (need_ == 0) {
      if (b < 0x80) return;
      if (b >= 0xC2 && b <= 0xDF) {
        need_ = 1, low_ = 0x80, high_ = 0xBF;
      } else if (b >= 0xE0 && b <= 0xEF) {
        need_ = 2;
        low_ = b == 0xE0 ? 0xA0 : 0x80;
        high_ = b == 0xED ? 0x9F : 0xBF;
      } else if (b >= 0xF0 && b <= 0xF4) {
        need_ = 3;
        low_ = b == 0xF0 ? 0x90 : 0x80;
        high_ = b == 0xF4 ? 0x8F : 0xBF;
      } else {
        valid_ = false;
      }
      return;
    }
    if (b < low_ || b > high_) {
      valid_ = false;
      return;
    }
    low_ = 0x80, high_ = 0xBF;
    --need_;
  }

  bool valid_ = true;
  int need_ = 0;
  unsigned char low_ = 0x80;
  unsigned char high_ = 0xBF;
};

}  // namespace parley

#endif  // PARLEY_TEXT_UTF8_VALIDATOR_H_
