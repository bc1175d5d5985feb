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
  return PercentEncoded(
      text, [](unsigned char c) { return c == '%' || c == '&' || c == '=' || c == '+'; });
}

std::string FormBody(std::initializer_list<FormField> fields) {
  std::string out;
  bool first = true;
  for (const FormField& field : fields) {
    if (!first) out += '&';
    first = false;
    out += field.key;
    out += '=';
    out += EncodeFormValue(field.value);
  }
  return out;
}

}  // namespace parley
