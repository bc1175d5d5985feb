#include "protocol/markup.h"

namespace parley::protocol {

std::string ExceptionText(std::string_view reason) {
  std::string text(kExceptionOpen);
  text += reason;
  text += kExceptionClose;
  return text;
}

bool IsExceptionText(std::string_view text) { return text.starts_with(kExceptionOpen); }

std::string JoinFields(std::initializer_list<std::string_view> fields) {
  std::string out;
  bool first = true;
  for (std::string_view f : fields) {
    if (!first) out += kFieldSep;
    out += f;
    first = false;
  }
  return out;
}

std::vector<std::string_view> SplitAt(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + separator.size());
  }
}

}  // namespace parley::protocol
