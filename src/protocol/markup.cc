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

}  // namespace parley::protocol
