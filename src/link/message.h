// The UI-link message format.
//
// Every message, in both directions, is a header followed by a body:
//
//   bytes 0-4    command code, five ASCII capitals ("INIT" has four)
//   bytes 5-9    version tag "QX0.1"
//   bytes 10-19  body length in decimal, left-aligned, padded with spaces
//
// A header that starts with "INIT" followed by "QX0.1" is 19 bytes long and every later field
// starts one byte earlier. The body is exactly as many bytes as the length field says; it has no
// terminator. The UI program writes UTF-8; the engine writes CP949.
#ifndef PARLEY_LINK_MESSAGE_H_
#define PARLEY_LINK_MESSAGE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace parley {

inline constexpr size_t kCommandCodeSize = 5;
inline constexpr std::string_view kVersionTag = "QX0.1";
inline constexpr size_t kLengthFieldSize = 10;
inline constexpr size_t kHeaderSize = kCommandCodeSize + 5 + kLengthFieldSize;  // 20
inline constexpr size_t kInitHeaderSize = kHeaderSize - 1;                      // 19
inline constexpr std::string_view kInitCode = "INIT";
// The longest body the engine accepts. A longer one is refused before it is buffered.
inline constexpr size_t kMaxBodySize = 16 * 1024 * 1024;

// Returns the header of a message with `code` and a body of `body_length` bytes: the code, the
// version tag and the length as decimal digits padded with spaces to ten characters.
// REQUIRES: body_length has at most ten decimal digits.
std::string MakeHeader(std::string_view code, size_t body_length);

// Returns a whole message: MakeHeader(code, body.size()) followed by body.
std::string MakeMessage(std::string_view code, std::string_view body);

// Returns the size of the header at the start of `data` (19 or 20), or 0 when fewer bytes than
// needed to tell have arrived.
size_t HeaderSizeOf(std::string_view data);

// Parses a length field: optional spaces, decimal digits, optional spaces. Returns false (and
// leaves *length alone) when the field is anything else or the number exceeds max.
bool ParseLengthField(std::string_view field, size_t max, size_t* length);

// One message as it arrived, bytes unconverted.
struct RawMessage {
  std::string header;
  std::string body;
};

// Cuts a byte stream into messages. Bytes may arrive in pieces of any size: a header or a body
// split anywhere is put together again, and several messages in one piece come out one by one.
// The buffer never holds more than one message plus the last piece appended.
class FrameParser {
 public:
  enum class Status { kNeedMore, kMessage, kError };

  explicit FrameParser(size_t max_body = kMaxBodySize) : max_body_(max_body) {}

  // Adds received bytes.
  void Append(std::string_view bytes);

  // Takes the next whole message out of the buffer. kMessage: *out holds it. kNeedMore: nothing
  // is complete yet. kError: the stream is not in the message format (the length field is not a
  // decimal number or exceeds the body limit); *error says why. After kError the stream cannot be
  // resynchronised and the connection should be closed.
  Status Next(RawMessage* out, std::string* error);

  // Bytes held that are not yet part of a returned message.
  size_t buffered() const { return buffer_.size() - consumed_; }

 private:
  void Compact();

  size_t max_body_;
  std::string buffer_;
  size_t consumed_ = 0;  // bytes at the front of buffer_ already returned
};

}  // namespace parley

#endif  // PARLEY_LINK_MESSAGE_H_
