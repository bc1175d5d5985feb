#include "protocol/list_fields.h"

#include <charconv>

#include "protocol/markup.h"

namespace parley::protocol {

std::string JoinParts(const std::vector<std::string>& parts, std::string_view sep) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += sep;
    out += parts[i];
  }
  return out;
}

bool ReadDecimal(std::string_view text, int64_t* value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

// The entries of a list field, each split into exactly `parts` parts; false when one is not.
bool ReadEntries(std::string_view field, size_t parts,
                 std::vector<std::vector<std::string_view>>* entries) {
  if (field.empty()) return true;
  for (std::string_view entry : SplitAt(field, kRowSep)) {
    std::vector<std::string_view> p = SplitAt(entry, ",");
    if (p.size() != parts) return false;
    entries->push_back(std::move(p));
  }
  return true;
}

std::string EscapeListPart(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '%':
        out += "%25";
        break;
      case '<':
        out += "%3C";
        break;
      case ',':
        out += "%2C";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string UnescapeListPart(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const std::string_view code = text.substr(i + 1, 2);
    if (text[i] == '%' && (code == "25" || code == "3C" || code == "2C")) {
      out += code == "25" ? '%' : code == "3C" ? '<' : ',';
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace parley::protocol
