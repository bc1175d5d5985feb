// Escape codes used for text that crosses the UI link, list cells and web
// form values. Each function is a fixed sequence of whole-text replacements
// (see ReplaceAll), applied in the order listed; the order matters where the
// output of one step could be seen by a later one.

#ifndef PARLEY_TEXT_TEXT_CODES_H_
#define PARLEY_TEXT_TEXT_CODES_H_

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

// Returns text for use as a web form value: "%" -> "%25", then "&" -> "%26",
// then "=" -> "%3D". Everything else, spaces and "+" included, is unchanged.
std::string EncodeFormValue(std::string_view text);

}  // namespace parley

#endif  // PARLEY_TEXT_TEXT_CODES_H_
