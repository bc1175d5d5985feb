#include "protocol/excel_check.h"

#include <charconv>

#include "protocol/markup.h"

namespace parley::protocol {
namespace {

std::string Join(const std::vector<std::string>& parts, std::string_view sep) {
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

}  // namespace

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

std::string ExcelCheckReply::Build() const {
  std::vector<std::string> faults_text;
  for (const CheckFault& f : faults) {
    faults_text.push_back(std::to_string(f.row) + "," + f.what + "," + f.problem + "," +
                          EscapeListPart(f.cell));
  }
  std::vector<std::string> cuts_text;
  for (const CheckCut& c : cuts) {
    cuts_text.push_back(std::to_string(c.row) + "," + EscapeListPart(c.column) + "," +
                        EscapeListPart(c.value) + "," + std::to_string(c.kept));
  }
  std::vector<std::string> lost_text;
  for (const CheckUnencodable& u : unencodable) {
    lost_text.push_back(std::to_string(u.row) + "," + EscapeListPart(u.column));
  }
  const std::vector<std::string> fields = {
      std::to_string(rows),      std::to_string(messages),  kind,
      std::to_string(largest),   std::to_string(sms_rows),  std::to_string(lms_rows),
      std::to_string(over_rows), std::to_string(invalid),   std::to_string(duplicates),
      std::to_string(cut_rows),  std::to_string(cut_bytes), std::to_string(unencodable_rows),
      EscapeListPart(callback),  callback_problem,          Join(faults_text, kRowSep),
      Join(cuts_text, kRowSep),  Join(lost_text, kRowSep)};
  return Join(fields, kFieldSep);
}

std::optional<ExcelCheckReply> ExcelCheckReply::Parse(std::string_view body) {
  const std::vector<std::string_view> f = SplitAt(body, kFieldSep);
  if (f.size() != kFields) return std::nullopt;
  ExcelCheckReply r;
  int64_t* numbers[] = {&r.rows,       &r.messages, nullptr,      &r.largest,
                        &r.sms_rows,   &r.lms_rows, &r.over_rows, &r.invalid,
                        &r.duplicates, &r.cut_rows, &r.cut_bytes, &r.unencodable_rows};
  for (size_t i = 0; i < std::size(numbers); ++i) {
    if (numbers[i] != nullptr && !ReadDecimal(f[i], numbers[i])) return std::nullopt;
  }
  r.kind = std::string(f[2]);
  r.callback = UnescapeListPart(f[12]);
  r.callback_problem = std::string(f[13]);
  std::vector<std::vector<std::string_view>> entries;
  if (!ReadEntries(f[14], 4, &entries)) return std::nullopt;
  for (const auto& e : entries) {
    CheckFault fault{0, std::string(e[1]), std::string(e[2]), UnescapeListPart(e[3])};
    if (!ReadDecimal(e[0], &fault.row)) return std::nullopt;
    r.faults.push_back(std::move(fault));
  }
  entries.clear();
  if (!ReadEntries(f[15], 4, &entries)) return std::nullopt;
  for (const auto& e : entries) {
    CheckCut cut{0, UnescapeListPart(e[1]), UnescapeListPart(e[2]), 0};
    if (!ReadDecimal(e[0], &cut.row) || !ReadDecimal(e[3], &cut.kept)) return std::nullopt;
    r.cuts.push_back(std::move(cut));
  }
  entries.clear();
  if (!ReadEntries(f[16], 2, &entries)) return std::nullopt;
  for (const auto& e : entries) {
    CheckUnencodable lost{0, UnescapeListPart(e[1])};
    if (!ReadDecimal(e[0], &lost.row)) return std::nullopt;
    r.unencodable.push_back(std::move(lost));
  }
  return r;
}

}  // namespace parley::protocol
