#include "testing/gate_record.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace parley::testing {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendString(std::string& out, std::string_view bytes) {
  out += '"';
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\') {
      out += c;
    } else {
      out += "\\u00";
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0xf];
    }
  }
  out += '"';
}

void AppendHex(std::string& out, std::string_view bytes) {
  out += '"';
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0xf];
  }
  out += '"';
}

void AppendKey(std::string& out, std::string_view key) {
  if (out.back() != '{') out += ',';
  AppendString(out, key);
  out += ':';
}

void AppendNumber(std::string& out, std::string_view key, int64_t value) {
  AppendKey(out, key);
  out += std::to_string(value);
}

void AppendText(std::string& out, std::string_view key, std::string_view value) {
  AppendKey(out, key);
  AppendString(out, value);
}

std::string_view ResultText(const char& result) {
  return result ? std::string_view(&result, 1) : std::string_view();
}

// A parsed JSON value: just what the record file uses.
struct JsonMember;

// A vector of an incomplete type is allowed; a pair of one is not (clang refuses it).
struct Json {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::vector<JsonMember> members;

  const Json* Find(std::string_view key) const;
};

struct JsonMember {
  std::string name;
  Json value;
};

const Json* Json::Find(std::string_view key) const {
  for (const JsonMember& member : members) {
    if (member.name == key) return &member.value;
  }
  return nullptr;
}

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  // Parses the whole text as one value; nothing on any error.
  std::optional<Json> ParseAll() {
    Json value;
    if (!ParseValue(value, 0)) return std::nullopt;
    SkipSpace();
    if (at_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  static constexpr int kMaxDepth = 16;

  void SkipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n')) {
      ++at_;
    }
  }

  bool Take(char c) {
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  bool TakeWord(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool ParseValue(Json& value, int depth) {
    if (depth > kMaxDepth) return false;
    SkipSpace();
    if (at_ >= text_.size()) return false;
    char c = text_[at_];
    if (c == '{') return ParseObject(value, depth);
    if (c == '[') return ParseArray(value, depth);
    if (c == '"') {
      value.kind = Json::Kind::kString;
      return ParseString(value.text);
    }
    if (TakeWord("null")) return true;
    for (bool truth : {true, false}) {
      if (TakeWord(truth ? "true" : "false")) {
        value.kind = Json::Kind::kBool;
        value.number = truth ? 1 : 0;
        return true;
      }
    }
    return ParseNumber(value);
  }

  bool ParseObject(Json& value, int depth) {
    value.kind = Json::Kind::kObject;
    ++at_;
    if (Take('}')) return true;
    do {
      SkipSpace();
      std::string key;
      if (at_ >= text_.size() || text_[at_] != '"' || !ParseString(key) || !Take(':')) {
        return false;
      }
      Json member;
      if (!ParseValue(member, depth + 1)) return false;
      value.members.push_back(JsonMember{std::move(key), std::move(member)});
    } while (Take(','));
    return Take('}');
  }

  bool ParseArray(Json& value, int depth) {
    value.kind = Json::Kind::kArray;
    ++at_;
    if (Take(']')) return true;
    do {
      Json item;
      if (!ParseValue(item, depth + 1)) return false;
      value.items.push_back(std::move(item));
    } while (Take(','));
    return Take(']');
  }

  // Reads a string; \u escapes above 00FF are not used by the record file and are refused.
  bool ParseString(std::string& out) {
    ++at_;
    while (at_ < text_.size()) {
      char c = text_[at_++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) return false;
      char e = text_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned code = 0;
          if (text_.size() - at_ < 4) return false;
          auto [end, ec] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, code, 16);
          if (ec != std::errc() || end != text_.data() + at_ + 4 || code > 0xff) return false;
          at_ += 4;
          out += static_cast<char>(code);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  bool ParseNumber(Json& value) {
    size_t start = at_;
    while (at_ < text_.size() &&
           std::string_view("+-0123456789.eE").find(text_[at_]) != std::string_view::npos) {
      ++at_;
    }
    if (start == at_) return false;
    std::string digits(text_.substr(start, at_ - start));
    char* end = nullptr;
    value.number = std::strtod(digits.c_str(), &end);
    value.kind = Json::Kind::kNumber;
    return end == digits.c_str() + digits.size();
  }

  std::string_view text_;
  size_t at_ = 0;
};

std::string TextOf(const Json& object, std::string_view key) {
  const Json* value = object.Find(key);
  return value && value->kind == Json::Kind::kString ? value->text : std::string();
}

double NumberOf(const Json& object, std::string_view key) {
  const Json* value = object.Find(key);
  return value && value->kind == Json::Kind::kNumber ? value->number : 0;
}

int64_t IntOf(const Json& object, std::string_view key) {
  return static_cast<int64_t>(NumberOf(object, key));
}

char ResultOf(const Json& object) {
  std::string text = TextOf(object, "result");
  return text.empty() ? '\0' : text[0];
}

const std::vector<Json>& ItemsOf(const Json& object, std::string_view key) {
  static const std::vector<Json> kNone;
  const Json* value = object.Find(key);
  return value && value->kind == Json::Kind::kArray ? value->items : kNone;
}

std::optional<std::string> FromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    unsigned byte = 0;
    auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, byte, 16);
    if (ec != std::errc() || end != hex.data() + i + 2) return std::nullopt;
    bytes += static_cast<char>(byte);
  }
  return bytes;
}

}  // namespace

void Checksum::Add(std::string_view bytes) {
  uint64_t hash = hash_;
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  hash_ = hash;
}

std::string Checksum::Hex() const {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash_));
  return text;
}

std::string ChecksumOf(std::string_view bytes) {
  Checksum sum;
  sum.Add(bytes);
  return sum.Hex();
}

std::string ToJsonLine(const GateJob& job) {
  std::string out = "{";
  AppendNumber(out, "job", job.number);
  AppendText(out, "job_id", job.job_id);
  AppendText(out, "result", ResultText(job.result));
  AppendText(out, "login_id", job.header.login_id);
  AppendText(out, "password", job.header.password);
  AppendText(out, "title", job.header.title);
  AppendText(out, "type_code", job.header.type_code);
  AppendNumber(out, "count", job.header.count);
  AppendNumber(out, "interval", job.header.interval);
  AppendText(out, "reserve_date", job.header.reserve_date);
  AppendNumber(out, "received", job.received);
  AppendNumber(out, "bytes", job.bytes);
  AppendKey(out, "seconds");
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.6f", job.seconds);
  out += seconds;
  AppendText(out, "end", job.end);

  AppendKey(out, "messages");
  out += '[';
  for (const GateMessage& m : job.messages) {
    if (out.back() != '[') out += ',';
    out += '{';
    AppendText(out, "recipient", m.recipient);
    AppendText(out, "callback", m.callback);
    if (m.checksum.empty()) {
      AppendText(out, "text", m.text);
    } else {
      AppendNumber(out, "size", m.size);
      AppendText(out, "checksum", m.checksum);
    }
    out += '}';
  }
  out += ']';

  AppendKey(out, "acks");
  out += '[';
  for (const GateAck& a : job.acks) {
    if (out.back() != '[') out += ',';
    out += '{';
    AppendNumber(out, "due", a.due);
    AppendText(out, "result", ResultText(a.result));
    AppendNumber(out, "sent_at", a.sent_at);
    out += '}';
  }
  out += ']';

  AppendKey(out, "packages");
  out += '[';
  for (const GatePackage& p : job.packages) {
    if (out.back() != '[') out += ',';
    out += '{';
    AppendText(out, "checksum", p.checksum);
    AppendNumber(out, "size", static_cast<int64_t>(p.bytes.size()));
    AppendKey(out, "hex");
    AppendHex(out, p.bytes);
    out += '}';
  }
  out += "]}";
  return out;
}

std::optional<GateJob> ParseJsonLine(std::string_view line) {
  std::optional<Json> root = JsonParser(line).ParseAll();
  if (!root || root->kind != Json::Kind::kObject || !root->Find("job")) return std::nullopt;
  GateJob job;
  job.number = IntOf(*root, "job");
  job.job_id = TextOf(*root, "job_id");
  job.result = ResultOf(*root);
  job.header.login_id = TextOf(*root, "login_id");
  job.header.password = TextOf(*root, "password");
  job.header.title = TextOf(*root, "title");
  job.header.type_code = TextOf(*root, "type_code");
  job.header.count = IntOf(*root, "count");
  job.header.interval = IntOf(*root, "interval");
  job.header.reserve_date = TextOf(*root, "reserve_date");
  job.received = IntOf(*root, "received");
  job.bytes = IntOf(*root, "bytes");
  job.seconds = NumberOf(*root, "seconds");
  job.end = TextOf(*root, "end");
  for (const Json& m : ItemsOf(*root, "messages")) {
    job.messages.push_back(GateMessage{TextOf(m, "recipient"), TextOf(m, "callback"),
                                       TextOf(m, "text"), IntOf(m, "size"), TextOf(m, "checksum")});
  }
  for (const Json& a : ItemsOf(*root, "acks")) {
    job.acks.push_back(GateAck{IntOf(a, "due"), ResultOf(a), IntOf(a, "sent_at")});
  }
  for (const Json& p : ItemsOf(*root, "packages")) {
    std::optional<std::string> bytes = FromHex(TextOf(p, "hex"));
    if (!bytes) return std::nullopt;
    job.packages.push_back(GatePackage{TextOf(p, "checksum"), std::move(*bytes)});
  }
  return job;
}

}  // namespace parley::testing
