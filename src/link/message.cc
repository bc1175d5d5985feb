#include "link/message.h"

#include <cassert>
#include <cstdio>

namespace parley {

std::string MakeHeader(std::string_view code, size_t body_length) {
  char digits[kLengthFieldSize + 1];
  int n = std::snprintf(digits, sizeof digits, "%zu", body_length);
  assert(n > 0 && static_cast<size_t>(n) <= kLengthFieldSize);
  std::string header;
  header.reserve(kHeaderSize);
  header.append(code);
  header.append(kVersionTag);
  header.append(digits, static_cast<size_t>(n));
  header.append(kLengthFieldSize - static_cast<size_t>(n), ' ');
  return header;
}

std::string MakeMessage(std::string_view code, std::string_view body) {
  std::string message = MakeHeader(code, body.size());
  message.append(body);
  return message;
}

size_t HeaderSizeOf(std::string_view data) {
  // "INIT" + "QX0.1" tells a 19-byte header; anything else is 20 bytes.
  constexpr size_t kDecide = 4 + 5;
  if (data.size() < kDecide) return 0;
  bool init = data.substr(0, 4) == kInitCode && data.substr(4, 5) == kVersionTag;
  return init ? kInitHeaderSize : kHeaderSize;
}

bool ParseLengthField(std::string_view field, size_t max, size_t* length) {
  size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  size_t value = 0;
  size_t digits = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i, ++digits) {
    value = value * 10 + static_cast<size_t>(field[i] - '0');
    if (value > max) return false;
  }
  while (i < field.size() && field[i] == ' ') ++i;
  if (digits == 0 || i != field.size()) return false;
  *length = value;
  return true;
}

void FrameParser::Append(std::string_view bytes) {
  Compact();
  buffer_.append(bytes);
}

void FrameParser::Compact() {
  if (consumed_ == 0) return;
  buffer_.erase(0, consumed_);
  consumed_ = 0;
}

FrameParser::Status FrameParser::Next(RawMessage* out, std::string* error) {
  std::string_view rest(buffer_.data() + consumed_, buffer_.size() - consumed_);
  size_t header_size = HeaderSizeOf(rest);
  if (header_size == 0 || rest.size() < header_size) return Status::kNeedMore;
  std::string_view field = rest.substr(header_size - kLengthFieldSize, kLengthFieldSize);
  size_t body_size = 0;
  if (!ParseLengthField(field, max_body_, &body_size)) {
    *error = "bad length field \"";
    for (char c : field) *error += (c >= 0x20 && c < 0x7f) ? c : '.';
    *error += "\" (a decimal number up to " + std::to_string(max_body_) + " is expected)";
    return Status::kError;
  }
  if (rest.size() - header_size < body_size) return Status::kNeedMore;
  out->header.assign(rest.substr(0, header_size));
  out->body.assign(rest.substr(header_size, body_size));
  consumed_ += header_size + body_size;
  if (consumed_ == buffer_.size()) {
    buffer_.clear();
    consumed_ = 0;
  }
  return Status::kMessage;
}

}  // namespace parley
