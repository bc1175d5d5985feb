// Escape codes used for text that crosses the UI link, list cells and web
// form values. Each function is a fixed sequence of whole-text replacements
// (see ReplaceAll), applied in the order listed; the order matters where the
// output of one step could be seen by a later one.

#ifndef PARLEY_TEXT_TEXT_CODES_H_
#define PARLEY_TEXT_TEXT_CODES_H_

#include <initializer_list>
#include <string>
#include <string_view>

namespace parley {

// Returns text from the UI with "&lt;" -> "<", then "&gt;" -> ">", then
// "&gacct;" -> "`". Any other "&" is left as it is.
std::string DecodeUiText(std::string_view text);

// Returns text made safe for a list cell: "," -> "&comma;", then ">" -> "&gt;",
// then "<" -> "&lt;".
std::string EncodeCellText(std::string_view text);

// Returns text read from a list cell with "&comma;" -> ",". Only commas are
// restored; "&gt;" and "&lt;" stay as they are.
std::string DecodeCellText(std::string_view text);

// Returns text with every byte for which encode(byte) is true written as "%"
// and two upper-case hex digits; every other byte is unchanged.
template <typename Pick>
std::string PercentEncoded(std::string_view text, Pick encode) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (encode(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    } else {
      out += ch;
    }
  }
  return out;
}

// Returns text for use as a web form value: "%" -> "%25", "&" -> "%26",
// "=" -> "%3D" and "+" -> "%2B", byte by byte (a "%" written here is never
// encoded again, and a byte after a lead byte is encoded all the same: no
// CP949 trail byte is one of the four). Everything else, spaces included, is
// unchanged.
std::string EncodeFormValue(std::string_view text);

// One field of a web form: the key as written and the value before encoding.
struct FormField {
  std::string_view key;
  std::string_view value;
};

// Returns the form body "key=value&key=value..." of `fields` in order, each
// value passed through EncodeFormValue; keys are fixed words and go as they
// are. Every form the engine posts is built here, so no value can add, end or
// change a field.
std::string FormBody(std::initializer_list<FormField> fields);

}  // namespace parley

#endif  // PARLEY_TEXT_TEXT_CODES_H_
