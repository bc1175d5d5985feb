// The text of a message as the engine will count and send it: its CP949 byte count (the engine's
// own conversion), the kind chosen from it, the characters CP949 cannot hold (which the engine
// would send as "?"), and the codes the UI link expects for "<", ">" and the backtick.
//
// The kinds and their limits (bytes of CP949 text), changeable by the caller:
//   SMS  up to kSmsBytes (90)   text only (the gateway's own field holds 99; users and carriers
//                               count 90, so a text between them goes as LMS)
//   LMS  up to kLmsBytes (2000) text only
//   MMS  up to kLmsBytes (2000) with one to three pictures
#ifndef PARLEY_CLIENT_MESSAGE_TEXT_H_
#define PARLEY_CLIENT_MESSAGE_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "client/messages.h"
#include "client/verdict.h"
#include "protocol/excel_check.h"

namespace parley {

inline constexpr size_t kSmsBytes = protocol::kSmsTextBytes;
inline constexpr size_t kLmsBytes = protocol::kLongTextBytes;

struct TextLimits {
  size_t sms_bytes = kSmsBytes;
  size_t lms_bytes = kLmsBytes;
};

enum class MessageKind { kSms = 1, kLms = 2, kMms = 3 };

// "SMS", "LMS" or "MMS".
std::string_view KindName(MessageKind kind);

// A character CP949 cannot hold, with its line and column (both from 1, columns in characters).
struct Unencodable {
  std::string character;  // UTF-8
  int line = 0;
  int column = 0;
};

struct TextCheck {
  size_t bytes = 0;  // CP949 bytes, as the engine counts them
  MessageKind kind = MessageKind::kSms;
  size_t limit = 0;  // the limit of that kind
  std::vector<Unencodable> unencodable;
  std::vector<Verdict> problems;  // empty when the text may be sent
};

// Checks a UTF-8 text for a send with `pictures` pictures: empty texts, texts over the LMS
// limit and characters CP949 cannot hold are problems.
TextCheck CheckText(std::string_view utf8, size_t pictures, const TextLimits& limits);

// Encodes the characters the UI link reserves inside a field: "<" as "&lt;", ">" as "&gt;" and
// the backtick as "&gacct;", which the engine decodes (DecodeUiText) before sending.
std::string EscapeUiText(std::string_view text);

}  // namespace parley

#endif  // PARLEY_CLIENT_MESSAGE_TEXT_H_
