// Byte-string helpers for CP949 text.
//
// A byte with the high bit set is a lead byte: it and the byte after it form
// one two-byte character, whatever that byte is. A lead byte with nothing after
// it counts as a one-byte character. Searches and separators only match at the
// start of a character, never at the second byte of a two-byte character.
// Lengths and widths count bytes.

#ifndef PARLEY_TEXT_MBCS_H_
#define PARLEY_TEXT_MBCS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parley {

// Returns true if c starts a two-byte character.
inline bool IsLeadByte(unsigned char c) { return c >= 0x80; }

// Returns the sub-string number index (from 0) of text, where sub-strings are
// separated by sep. Returns an empty string if index is negative or there are
// fewer sub-strings. An empty text has one empty sub-string.
std::string ExtractSubString(std::string_view text, int index, char sep);

// Returns all sub-strings of text separated by sep, as views into text, in
// one pass. Element i equals ExtractSubString(text, i, sep). Never empty: an
// empty text gives one empty field.
std::vector<std::string_view> SplitFields(std::string_view text, char sep);

// Replaces every occurrence of from in text with to, scanning left to right
// and continuing after each inserted copy of to, so the inserted text is never
// searched again. Returns the number of replacements. Does nothing if from
// is empty.
size_t ReplaceAll(std::string& text, std::string_view from, std::string_view to);

// Returns a copy of text with the replacements ReplaceAll would make.
std::string Replaced(std::string_view text, std::string_view from, std::string_view to);

// Returns the integer at the start of text, like C atoi: skips leading white
// space, takes an optional sign and the decimal digits that follow. Returns 0
// if there are no digits. Saturates at INT_MAX or INT_MIN on overflow.
int Atoi(std::string_view text);

// Returns text without the "-" characters; a "-" that is the second byte of
// a two-byte character is kept.
std::string RemoveHyphens(std::string_view text);

// Returns the longest prefix of text made of whole characters that fits in
// width bytes. A two-byte character that would cross width is left out.
std::string CutToBytes(std::string_view text, size_t width);

}  // namespace parley

#endif  // PARLEY_TEXT_MBCS_H_
