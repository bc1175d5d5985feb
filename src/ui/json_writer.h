// A small JSON writer for the web UI's answers: objects, arrays, strings (UTF-8, escaped),
// numbers and booleans, written in order. Keys and strings are copied as they are given, so the
// caller passes UTF-8.
#ifndef PARLEY_UI_JSON_WRITER_H_
#define PARLEY_UI_JSON_WRITER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parley {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // The key of the next value inside an object.
  JsonWriter& Key(std::string_view key);
  JsonWriter& String(std::string_view text);
  JsonWriter& Number(int64_t value);
  JsonWriter& Bool(bool value);
  // A key and its value at once.
  JsonWriter& Field(std::string_view key, std::string_view text) { return Key(key).String(text); }
  JsonWriter& Field(std::string_view key, const char* text) { return Key(key).String(text); }
  JsonWriter& Field(std::string_view key, int64_t value) { return Key(key).Number(value); }
  JsonWriter& Field(std::string_view key, bool value) { return Key(key).Bool(value); }
  // An array of strings, and a key with one.
  JsonWriter& StringArray(const std::vector<std::string>& texts);
  JsonWriter& Strings(std::string_view key, const std::vector<std::string>& texts) {
    return Key(key).StringArray(texts);
  }

  const std::string& text() const { return out_; }

 private:
  void Separate();
  std::string out_;
  std::vector<bool> first_;  // per open container: no value written yet
  bool after_key_ = false;
};

// text with the characters JSON must escape escaped (quotes, backslash, control characters; and
// "<" as \u003c, so that no text can close a script element).
std::string JsonEscape(std::string_view text);

}  // namespace parley

#endif  // PARLEY_UI_JSON_WRITER_H_
