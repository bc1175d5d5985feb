#include "web/reply_text.h"

#include "text/mbcs.h"

namespace parley {
namespace {

constexpr std::string_view kEntityStart = "&#";
// An entity has at most this many digits; one more digit leaves the "&#" as it is.
constexpr size_t kMaxEntityDigits = 3;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

size_t FindText(std::string_view text, std::string_view what, size_t from) {
  if (from > text.size()) return std::string_view::npos;
  size_t boundary = from;
  size_t pos = from;
  while (true) {
    const size_t found = text.find(what, pos);
    if (found == std::string_view::npos) return found;
    while (boundary < found) {
      const bool two =
          IsLeadByte(static_cast<unsigned char>(text[boundary])) && boundary + 1 < text.size();
      boundary += two ? 2 : 1;
    }
    if (boundary == found) return found;
    pos = boundary;  // the match began inside a two-byte character
  }
}

std::string FirstLine(std::string_view body) {
  const std::string_view line = body.substr(0, body.find('\n'));
  std::string out;
  out.reserve(line.size());
  for (char c : line) {
    if (c != '\r') out += c;
  }
  return out;
}

void DecodeNumericEntities(std::string* text) {
  std::string& r = *text;
  size_t search = 0;
  while (true) {
    const size_t start = FindText(r, kEntityStart, search);
    if (start == std::string::npos) return;
    search = start + kEntityStart.size();

    std::string digits;
    bool semicolon = false;
    bool ended = false;  // a non-digit (or the end of the text) came within the digit limit
    for (size_t k = 0; k <= kMaxEntityDigits; ++k) {
      const size_t pos = search + k;
      const char c = pos < r.size() ? r[pos] : '\0';
      if (IsDigit(c)) {
        digits += c;
        continue;
      }
      semicolon = c == ';';
      ended = true;
      break;
    }
    if (!ended) continue;  // a run of four digits: this "&#" stays

    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    const std::string entity = std::string(kEntityStart) + digits + (semicolon ? ";" : "");
    const unsigned char byte = static_cast<unsigned char>(value % 256);
    const std::string replacement =
        byte == 0 ? std::string() : std::string(1, static_cast<char>(byte));
    if (ReplaceAll(r, entity, replacement) == 0) {
      // The search resumed inside a two-byte character that an earlier replacement produced, so
      // this "&#" is its second byte plus '#' and matches nowhere as a whole: step over it
      // rather than finding it again for ever.
      search = start + kEntityStart.size();
    } else {
      search = start + replacement.size();
    }
  }
}

std::string NormalizeGetReply(std::string body) {
  if (body == "2") body.clear();
  ReplaceAll(body, "`", "&gacct;");
  DecodeNumericEntities(&body);
  return body;
}

}  // namespace parley
