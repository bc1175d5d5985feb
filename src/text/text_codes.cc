#include "text/text_codes.h"

#include "text/mbcs.h"

namespace parley {

std::string DecodeUiText(std::string_view text) {
  std::string out(text);
  ReplaceAll(out, "&lt;", "<");
  ReplaceAll(out, "&gt;", ">");
  ReplaceAll(out, "&gacct;", "`");
  return out;
}

std::string EncodeCellText(std::string_view text) {
  std::string out(text);
  ReplaceAll(out, ",", "&comma;");
  ReplaceAll(out, ">", "&gt;");
  ReplaceAll(out, "<", "&lt;");
  return out;
}

std::string DecodeCellText(std::string_view text) { return Replaced(text, "&comma;", ","); }

std::string EncodeFormValue(std::string_view text) {
  // "%" goes first so the "%" of later codes is not encoded again.
  std::string out(text);
  ReplaceAll(out, "%", "%25");
  ReplaceAll(out, "&", "%26");
  ReplaceAll(out, "=", "%3D");
  return out;
}

}  // namespace parley
