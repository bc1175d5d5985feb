// What the web client makes of a response body before callers see it, and the character-aware
// search the reply parsers share.
#ifndef PARLEY_WEB_REPLY_TEXT_H_
#define PARLEY_WEB_REPLY_TEXT_H_

#include <string>
#include <string_view>

namespace parley {

// The reply text of a form POST: the body up to its first LF (all of it when there is none),
// without the LF and without any CR in that line.
std::string FirstLine(std::string_view body);

// The reply text of a GET, made from the whole body in this order: a body that is exactly "2"
// becomes empty; every backtick becomes "&gacct;"; then numeric entities are decoded
// (DecodeNumericEntities).
std::string NormalizeGetReply(std::string body);

// Decodes "&#" entities in *text. For each "&#", found left to right: up to three digits and an
// optional ";" make the entity, while four digits in a row leave that "&#" alone. Every
// occurrence of the entity text in the whole text is replaced by the one byte of its number
// modulo 256, or by nothing when that byte is 0 ("&#0", "&#256", or no digits at all: a "&#"
// without a digit after it removes every "&#" of the text), and the search goes on after the
// replacement. Always ends: a "&#" that no replacement can match is stepped over.
void DecodeNumericEntities(std::string* text);

// Returns the position of the first occurrence of `what` in `text` at or after `from` that
// starts a character (CP949: a byte with the high bit set and the byte after it are one
// character; `from` is taken to start one), or npos. npos also when `from` is past the end.
size_t FindText(std::string_view text, std::string_view what, size_t from = 0);

}  // namespace parley

#endif  // PARLEY_WEB_REPLY_TEXT_H_
