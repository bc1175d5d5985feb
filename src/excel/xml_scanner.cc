#include "excel/xml_scanner.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "text/utf8_append.h"

namespace parley {
namespace {

// The first c in p[0, n), or null: most texts and values in a sheet are a few bytes long, where a
// plain loop beats the library's call.
const char* FindByte(const char* p, size_t n, char c) {
  const size_t head = n < 16 ? n : 16;
  for (size_t i = 0; i < head; ++i) {
    if (p[i] == c) return p + i;
  }
  if (n == head) return nullptr;
  return static_cast<const char*>(std::memchr(p + head, c, n - head));
}

// a == b, inline for the short names of most elements.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Words of eight bytes that are all printable ASCII pass at once.
constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;

bool PlainAscii(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  // No byte with its high bit set, and none below 0x20.
  return ((word | ((word - 0x20 * kOnes) & ~word)) & kHighs) == 0;
}

// The offset of the first byte of text that is not a character XML allows (in UTF-8: a control
// character other than tab, line feed and carriage return, a malformed or overlong sequence, a
// surrogate, U+FFFE or U+FFFF), or npos. `whole` false allows a sequence cut at the end.
size_t InvalidCharacter(std::string_view text, bool whole) {
  const char* data = text.data();
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    if (i + 8 <= n && PlainAscii(data + i)) {
      i += 8;
      continue;
    }
    const auto c = static_cast<unsigned char>(data[i]);
    if (c < 0x80) {
      if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return i;
      ++i;
      continue;
    }
    size_t length;
    uint32_t code;
    if (c >= 0xc2 && c <= 0xdf) {
      length = 2;
      code = c & 0x1f;
    } else if (c >= 0xe0 && c <= 0xef) {
      length = 3;
      code = c & 0x0f;
    } else if (c >= 0xf0 && c <= 0xf4) {
      length = 4;
      code = c & 0x07;
    } else {
      return i;
    }
    if (i + length > n) return whole ? i : std::string_view::npos;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(data[i + k]);
      if ((next & 0xc0) != 0x80) return i;
      code = (code << 6) | (next & 0x3f);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff) || code == 0xfffe ||
        code == 0xffff) {
      return i;
    }
    i += length;
  }
  return std::string_view::npos;
}

bool XmlChar(uint32_t code) {
  return code == 0x9 || code == 0xa || code == 0xd || (code >= 0x20 && code <= 0xd7ff) ||
         (code >= 0xe000 && code <= 0xfffd) || (code >= 0x10000 && code <= 0x10ffff);
}

// Decodes the reference at the start of s (s[0] == '&') into *out; returns its length, 0 when it
// is not one XML defines without a document type.
size_t DecodeReference(std::string_view s, std::string* out) {
  const size_t semicolon = s.find(';');
  if (semicolon == std::string_view::npos || semicolon < 2) return 0;
  const std::string_view name = s.substr(1, semicolon - 1);
  if (name[0] == '#') {
    uint32_t code = 0;
    const bool hex = name.size() > 1 && name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return 0;
    for (char d : digits) {
      uint32_t value;
      if (d >= '0' && d <= '9') {
        value = static_cast<uint32_t>(d - '0');
      } else if (hex && d >= 'a' && d <= 'f') {
        value = static_cast<uint32_t>(d - 'a' + 10);
      } else if (hex && d >= 'A' && d <= 'F') {
        value = static_cast<uint32_t>(d - 'A' + 10);
      } else {
        return 0;
      }
      code = code * (hex ? 16u : 10u) + value;
      if (code > 0x10ffff) return 0;
    }
    if (!XmlChar(code)) return 0;
    AppendUtf8(code, out);
    return semicolon + 1;
  }
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& [known, c] : kNamed) {
    if (name == known) {
      out->push_back(c);
      return semicolon + 1;
    }
  }
  return 0;
}

}  // namespace

XmlScanner::XmlScanner(XmlHandler& handler, int max_depth, size_t max_held)
    : handler_(handler), max_depth_(max_depth), max_held_(max_held) {}

bool XmlScanner::HasDuplicateName() {
  // A few attributes, as workbook parts have, are compared pair by pair; more are sorted, so that
  // a tag of many attributes costs n log n, not n squared.
  constexpr size_t kPairwise = 16;
  if (attributes_.size() <= kPairwise) {
    for (size_t a = 0; a < attributes_.size(); ++a) {
      for (size_t b = 0; b < a; ++b) {
        if (SameName(attributes_[a].name, attributes_[b].name)) return true;
      }
    }
    return false;
  }
  sorted_names_.clear();
  for (const XmlAttribute& attribute : attributes_) sorted_names_.push_back(attribute.name);
  std::sort(sorted_names_.begin(), sorted_names_.end());
  return std::adjacent_find(sorted_names_.begin(), sorted_names_.end()) != sorted_names_.end();
}

std::string_view XmlScanner::OpenName() const {
  const size_t start = open_ends_.size() > 1 ? open_ends_[open_ends_.size() - 2] : 0;
  return std::string_view(open_names_).substr(start, open_ends_.back() - start);
}

bool XmlScanner::Fail(std::string reason) {
  if (status_ == Status::kOk) {
    status_ = Status::kError;
    error_ = std::move(reason);
  }
  return false;
}

void XmlScanner::CountLines(std::string_view consumed) {
  // Parts hold few line breaks: the library's search skips the long stretches between them.
  const char* p = consumed.data();
  const char* const end = p + consumed.size();
  while (p != end &&
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p))))) {
    ++line_;
    ++p;
  }
}

XmlScanner::Status XmlScanner::Feed(std::string_view piece, bool last) {
  if (status_ != Status::kOk) return status_;
  if (!started_) {
    if (piece.size() < 3 && !last) {
      held_.append(piece);  // too short to tell a byte order mark yet
      if (held_.size() < 3) return status_;
      piece = held_;
    }
    started_ = true;
    std::string_view start = piece;
    if (start.starts_with("\xef\xbb\xbf")) start.remove_prefix(3);
    if (piece.data() == held_.data()) {
      held_ = std::string(start);
      piece = {};
    } else {
      piece = start;
    }
  }
  std::string_view buffer = piece;
  if (!held_.empty()) {
    held_.append(piece);
    buffer = held_;
  }
  const size_t used = Scan(buffer, last);
  if (status_ != Status::kOk) return status_;
  if (last) {
    if (used < buffer.size()) {
      Fail("unclosed token");
    } else if (!open_ends_.empty()) {
      Fail("no closing tag for <" + std::string(OpenName()) + ">");
    } else if (!root_seen_) {
      Fail("no element found");
    }
    return status_;
  }
  if (buffer.data() == held_.data()) {
    held_.erase(0, used);
  } else {
    held_.assign(buffer.substr(used));
  }
  if (held_.size() > max_held_) {
    over_memory_ = true;
    Fail("a construct longer than the scanner holds");
  }
  return status_;
}

size_t XmlScanner::Scan(std::string_view buffer, bool last) {
  // Lines are counted once over what was consumed (up to a failing construct's start), not per
  // construct.
  const size_t used = ScanConstructs(buffer, last);
  CountLines(buffer.substr(0, used));
  return used;
}

size_t XmlScanner::ScanConstructs(std::string_view buffer, bool last) {
  size_t pos = 0;
  const size_t n = buffer.size();
  while (pos < n) {
    if (buffer[pos] == '<') {
      const size_t size = Markup(buffer.substr(pos));
      if (status_ != Status::kOk) return pos;
      if (size == 0) break;  // the construct goes on in the next piece
      pos += size;
      continue;
    }
    const char* lt = FindByte(buffer.data() + pos, n - pos, '<');
    const size_t end = lt ? static_cast<size_t>(static_cast<const char*>(lt) - buffer.data()) : n;
    size_t cut = end;
    if (lt == nullptr && !last) {
      // Keep a reference, a carriage return or a character cut at the end for the next piece.
      const std::string_view text = buffer.substr(pos, end - pos);
      const size_t amp = text.rfind('&');
      if (amp != std::string_view::npos && text.find(';', amp) == std::string_view::npos) {
        cut = pos + amp;
      }
      size_t back = 0;
      while (back < 3 && cut - back > pos &&
             (static_cast<unsigned char>(buffer[cut - back - 1]) & 0xc0) == 0x80) {
        ++back;
      }
      if (cut - back > pos && static_cast<unsigned char>(buffer[cut - back - 1]) >= 0xc0) {
        cut -= back + 1;
      }
      if (cut > pos && buffer[cut - 1] == '\r') --cut;
      // "]]" at the end might begin a "]]>" that text may not hold.
      while (cut > pos && buffer[cut - 1] == ']') --cut;
    }
    if (cut > pos) {
      const std::string_view text = buffer.substr(pos, cut - pos);
      if (!Characters(text, false)) return pos;
    }
    pos = cut;
    if (lt == nullptr) break;
  }
  return pos;
}

bool XmlScanner::Characters(std::string_view text, bool raw) {
  // One pass notes what the text needs: most cell texts are short ASCII without references,
  // carriage returns or brackets, and go to the handler as they are.
  bool wide = false;
  bool amp = false;
  bool cr = false;
  bool bracket = false;
  bool control = false;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x80) {
      wide = true;
    } else if (c < 0x20) {
      cr |= c == '\r';
      control |= c != '\t' && c != '\n' && c != '\r';
    } else if (c == '&') {
      amp = true;
    } else if (c == ']') {
      bracket = true;
    }
  }
  const size_t bad = wide || control ? InvalidCharacter(text, true) : std::string_view::npos;
  if (bad != std::string_view::npos) {
    CountLines(text.substr(0, bad));
    return Fail("not well-formed (invalid token)");
  }
  if (open_ends_.empty()) {
    // Outside the document element only white space may stand.
    if (raw || std::any_of(text.begin(), text.end(), [](char c) { return !IsSpace(c); })) {
      return Fail(root_closed_ ? "junk after document element" : "syntax error");
    }
    return true;
  }
  if (!raw && bracket && text.find("]]>") != std::string_view::npos) {
    return Fail("not well-formed (invalid token)");
  }
  std::string_view out = text;
  const bool references = !raw && amp;
  if (references || cr) {
    scratch_.clear();
    for (size_t i = 0; i < text.size();) {
      const char c = text[i];
      if (c == '&' && references) {
        const size_t size = DecodeReference(text.substr(i), &scratch_);
        if (size == 0) return Fail("undefined entity or bad character reference");
        i += size;
      } else if (c == '\r') {
        scratch_.push_back('\n');
        i += i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
      } else {
        scratch_.push_back(c);
        ++i;
      }
    }
    out = scratch_;
  }
  if (!out.empty() && !handler_.Text(out)) {
    status_ = Status::kStopped;
    return false;
  }
  return true;
}

size_t XmlScanner::Markup(std::string_view s) {
  if (s.size() < 2) return 0;
  if (s[1] == '/') return EndTag(s);
  if (s[1] == '?') {
    const size_t close = s.find("?>", 2);
    if (close == std::string_view::npos) return 0;
    if (close == 2 || !IsNameStart(static_cast<unsigned char>(s[2]))) {
      Fail("syntax error");
      return 0;
    }
    if (InvalidCharacter(s.substr(0, close), true) != std::string_view::npos) {
      Fail("not well-formed (invalid token)");
      return 0;
    }
    return close + 2;
  }
  if (s[1] != '!') return StartTag(s);
  constexpr std::string_view kComment = "<!--";
  constexpr std::string_view kCdata = "<![CDATA[";
  constexpr std::string_view kDoctype = "<!DOCTYPE";
  for (std::string_view prefix : {kComment, kCdata, kDoctype}) {
    if (s.size() < prefix.size() && prefix.starts_with(s)) return 0;
  }
  if (s.starts_with(kComment)) {
    const size_t dashes = s.find("--", kComment.size());
    if (dashes == std::string_view::npos || dashes + 2 >= s.size()) return 0;
    if (s[dashes + 2] != '>') {
      Fail("not well-formed (invalid token)");
      return 0;
    }
    if (InvalidCharacter(s.substr(0, dashes), true) != std::string_view::npos) {
      Fail("not well-formed (invalid token)");
      return 0;
    }
    return dashes + 3;
  }
  if (s.starts_with(kCdata)) {
    const size_t close = s.find("]]>", kCdata.size());
    if (close == std::string_view::npos) return 0;
    if (open_ends_.empty()) {
      Fail("syntax error");
      return 0;
    }
    if (!Characters(s.substr(kCdata.size(), close - kCdata.size()), true)) return 0;
    return close + 3;
  }
  if (s.starts_with(kDoctype) && !root_seen_) {
    status_ = Status::kUnsupported;
    error_ = "a document type declaration";
    return 0;
  }
  Fail("syntax error");
  return 0;
}

size_t XmlScanner::StartTag(std::string_view s) {
  const size_t n = s.size();
  if (!IsNameStart(static_cast<unsigned char>(s[1]))) {
    Fail("not well-formed (invalid token)");
    return 0;
  }
  size_t i = 2;
  while (i < n && IsNameChar(static_cast<unsigned char>(s[i]))) ++i;
  if (i == n) return 0;
  const std::string_view name = s.substr(1, i - 1);
  attribute_text_.clear();
  attributes_.clear();
  decoded_.clear();
  bool self_closing = false;
  for (;;) {
    const size_t gap = i;
    while (i < n && IsSpace(s[i])) ++i;
    if (i == n) return 0;
    if (s[i] == '>') {
      ++i;
      break;
    }
    if (s[i] == '/') {
      if (i + 1 == n) return 0;
      if (s[i + 1] != '>') {
        Fail("not well-formed (invalid token)");
        return 0;
      }
      self_closing = true;
      i += 2;
      break;
    }
    if (i == gap || !IsNameStart(static_cast<unsigned char>(s[i]))) {
      Fail("not well-formed (invalid token)");
      return 0;
    }
    const size_t name_start = i;
    while (i < n && IsNameChar(static_cast<unsigned char>(s[i]))) ++i;
    const std::string_view attribute = s.substr(name_start, i - name_start);
    while (i < n && IsSpace(s[i])) ++i;
    if (i == n) return 0;
    if (s[i] != '=') {
      Fail("not well-formed (invalid token)");
      return 0;
    }
    ++i;
    while (i < n && IsSpace(s[i])) ++i;
    if (i == n) return 0;
    const char quote = s[i];
    if (quote != '"' && quote != '\'') {
      Fail("not well-formed (invalid token)");
      return 0;
    }
    // One pass to the closing quote notes what the value needs: most hold no reference, no
    // white space to normalise and no byte outside ASCII, and are copied whole.
    size_t close = i + 1;
    size_t special = std::string_view::npos;
    bool wide = false;
    for (; close < n && s[close] != quote; ++close) {
      const auto c = static_cast<unsigned char>(s[close]);
      if (c >= 0x80) {
        wide = true;
      } else if (c < 0x20 || c == '&') {
        if (special == std::string_view::npos) special = close - i - 1;
      } else if (c == '<') {
        Fail("not well-formed (invalid token)");
        return 0;
      }
    }
    if (close == n) return 0;
    const std::string_view raw = s.substr(i + 1, close - i - 1);
    i = close + 1;
    if ((wide || special != std::string_view::npos) &&
        InvalidCharacter(raw, true) != std::string_view::npos) {
      Fail("not well-formed (invalid token)");
      return 0;
    }
    if (special == std::string_view::npos) {
      // Handed on as it stands in the input, which outlives the handler's call.
      attributes_.push_back({attribute, raw});
      continue;
    }
    // Decoded into attribute_text_; the value is pointed at once the tag is whole, as the text
    // may move while it grows.
    const size_t start = attribute_text_.size();
    attribute_text_.append(raw.substr(0, special));
    for (size_t k = special; k < raw.size();) {
      const char c = raw[k];
      if (c == '&') {
        const size_t size = DecodeReference(raw.substr(k), &attribute_text_);
        if (size == 0) {
          Fail("undefined entity or bad character reference");
          return 0;
        }
        k += size;
      } else if (c == '\r' || c == '\n' || c == '\t') {
        attribute_text_.push_back(' ');
        k += c == '\r' && k + 1 < raw.size() && raw[k + 1] == '\n' ? 2 : 1;
      } else {
        attribute_text_.push_back(c);
        ++k;
      }
    }
    decoded_.push_back({attributes_.size(), start, attribute_text_.size() - start});
    attributes_.push_back({attribute, {}});
  }
  // The attributes' own memory counts as held input: one tag of a million attributes is refused
  // as too large, not kept.
  if (attributes_.size() * sizeof(XmlAttribute) + attribute_text_.size() > max_held_) {
    over_memory_ = true;
    Fail("an element has too many attributes");
    return 0;
  }
  if (std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; }) &&
      InvalidCharacter(name, true) != std::string_view::npos) {
    Fail("not well-formed (invalid token)");
    return 0;
  }
  if (root_closed_) {
    Fail("junk after document element");
    return 0;
  }
  if (static_cast<int>(open_ends_.size()) >= max_depth_) {
    Fail("elements nested too deeply");
    return 0;
  }
  for (const Decoded& d : decoded_) {
    attributes_[d.attribute].value = std::string_view(attribute_text_).substr(d.offset, d.size);
  }
  if (HasDuplicateName()) {
    Fail("duplicate attribute");
    return 0;
  }
  root_seen_ = true;
  const std::string_view local = LocalName(name);
  if (!handler_.StartElement(local, attributes_)) {
    status_ = Status::kStopped;
    return 0;
  }
  if (self_closing) {
    if (!handler_.EndElement(local)) {
      status_ = Status::kStopped;
      return 0;
    }
    if (open_ends_.empty()) root_closed_ = true;
  } else {
    open_names_.append(name);
    open_ends_.push_back(open_names_.size());
  }
  return i;
}

size_t XmlScanner::EndTag(std::string_view s) {
  const size_t n = s.size();
  size_t i = 2;
  while (i < n && IsNameChar(static_cast<unsigned char>(s[i]))) ++i;
  const std::string_view name = s.substr(2, i - 2);
  while (i < n && IsSpace(s[i])) ++i;
  if (i == n) return 0;
  if (s[i] != '>' || name.empty()) {
    Fail("not well-formed (invalid token)");
    return 0;
  }
  if (open_ends_.empty() || !SameName(OpenName(), name)) {
    Fail("mismatched tag");
    return 0;
  }
  open_ends_.pop_back();
  open_names_.resize(open_ends_.empty() ? 0 : open_ends_.back());
  if (open_ends_.empty()) root_closed_ = true;
  if (!handler_.EndElement(LocalName(name))) {
    status_ = Status::kStopped;
    return 0;
  }
  return i + 1;
}

}  // namespace parley
