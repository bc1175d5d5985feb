#include "client/message_text.h"

#include "text/cp949.h"

namespace parley {
namespace {

// The length of the UTF-8 sequence that starts with c (1 for a byte that starts none).
size_t SequenceLength(unsigned char c) {
  if (c >= 0xF0 && c < 0xF8) return 4;
  if (c >= 0xE0) return c < 0xF0 ? 3 : 1;
  if (c >= 0xC0) return 2;
  return 1;
}

std::vector<Unencodable> FindUnencodable(std::string_view utf8) {
  std::vector<Unencodable> found;
  int line = 1;
  int column = 1;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const size_t n = std::min(SequenceLength(c), utf8.size() - i);
    const std::string_view character = utf8.substr(i, n);
    // A non-ASCII character that converts to a plain "?" has no CP949 form.
    if (c >= 0x80 && Utf8ToAnsi(character) == "?") {
      found.push_back({std::string(character), line, column});
    }
    if (c == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
    i += n;
  }
  return found;
}

}  // namespace

std::string_view KindName(MessageKind kind) {
  switch (kind) {
    case MessageKind::kSms:
      return "SMS";
    case MessageKind::kLms:
      return "LMS";
    case MessageKind::kMms:
      return "MMS";
  }
  return "";
}

TextCheck CheckText(std::string_view utf8, size_t pictures, const TextLimits& limits) {
  TextCheck check;
  check.bytes = Utf8ToAnsi(utf8).size();
  if (pictures > 0) {
    check.kind = MessageKind::kMms;
    check.limit = limits.lms_bytes;
  } else if (check.bytes <= limits.sms_bytes) {
    check.kind = MessageKind::kSms;
    check.limit = limits.sms_bytes;
  } else {
    check.kind = MessageKind::kLms;
    check.limit = limits.lms_bytes;
  }
  if (utf8.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    check.problems.push_back({Msg::kTextEmpty, {}, kFieldText});
  }
  if (check.bytes > limits.lms_bytes) {
    check.problems.push_back({Msg::kTextTooLong,
                              {std::to_string(check.bytes), std::to_string(limits.lms_bytes)},
                              kFieldText});
  }
  check.unencodable = FindUnencodable(utf8);
  for (const Unencodable& u : check.unencodable) {
    check.problems.push_back({Msg::kTextUnencodable,
                              {u.character, std::to_string(u.line), std::to_string(u.column)},
                              kFieldText,
                              u.character,
                              u.line,
                              u.column});
  }
  return check;
}

std::string EscapeUiText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '`') {
      out += "&gacct;";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace parley
