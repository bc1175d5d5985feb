#include "text/mbcs.h"

#include <climits>
#include <cstdint>

namespace parley {

namespace {

// Returns the length in bytes of the character starting at text[pos].
inline size_t CharLen(std::string_view text, size_t pos) {
  return (IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size()) ? 2 : 1;
}

// Returns the position of the first sep at or after pos that starts a
// character (pos must itself start one), or text.size() if there is none.
size_t FindSep(std::string_view text, size_t pos, char sep) {
  while (pos < text.size() && text[pos] != sep) pos += CharLen(text, pos);
  return pos;
}

// Appends text with every occurrence of from replaced by to to *out, and
// returns the number of replacements. from must not be empty.
size_t AppendReplaced(std::string_view text, std::string_view from, std::string_view to,
                      std::string* out) {
  size_t count = 0;
  size_t copied = 0;    // Start of the text not yet appended.
  size_t boundary = 0;  // Start of a character, walked forward to each candidate.
  size_t pos = 0;       // Where to look for the next candidate.
  while (true) {
    size_t found = text.find(from, pos);
    if (found == std::string_view::npos) break;
    // Walk the characters up to the candidate to see if it starts one.
    while (boundary < found) boundary += CharLen(text, boundary);
    if (boundary != found) {  // It begins at the second byte of a character.
      pos = boundary;
      continue;
    }
    out->append(text.substr(copied, found - copied));
    out->append(to);
    ++count;
    copied = boundary = pos = found + from.size();
  }
  out->append(text.substr(copied));
  return count;
}

}  // namespace

std::string ExtractSubString(std::string_view text, int index, char sep) {
  if (index < 0) return std::string();
  size_t pos = 0;
  for (int i = 0; i < index; ++i) {
    pos = FindSep(text, pos, sep);
    if (pos == text.size()) return std::string();
    ++pos;
  }
  return std::string(text.substr(pos, FindSep(text, pos, sep) - pos));
}

std::vector<std::string_view> SplitFields(std::string_view text, char sep) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == sep) {
      fields.push_back(text.substr(start, pos - start));
      start = ++pos;
    } else {
      pos += CharLen(text, pos);
    }
  }
  fields.push_back(text.substr(start));
  return fields;
}

size_t ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return 0;
  std::string out;
  size_t count = AppendReplaced(text, from, to, &out);
  if (count > 0) text.swap(out);
  return count;
}

std::string Replaced(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  AppendReplaced(text, from, to, &out);
  return out;
}

int Atoi(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
    ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  // Magnitude, capped just past the largest value either sign can hold.
  const int64_t limit = static_cast<int64_t>(INT_MAX) + 1;
  int64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = value * 10 + (text[pos] - '0');
    if (value > limit) value = limit;
  }
  if (negative) return static_cast<int>(-value);  // -limit is INT_MIN.
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::string RemoveHyphens(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    size_t len = CharLen(text, pos);
    if (text[pos] != '-') out.append(text.substr(pos, len));
    pos += len;
  }
  return out;
}

std::string CutToBytes(std::string_view text, size_t width) {
  size_t end = 0;
  while (end < text.size()) {
    size_t len = CharLen(text, end);
    if (end + len > width) break;
    end += len;
  }
  return std::string(text.substr(0, end));
}

}  // namespace parley
