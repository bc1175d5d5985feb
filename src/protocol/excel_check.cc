#include "protocol/excel_check.h"

#include "protocol/list_fields.h"
#include "protocol/markup.h"

namespace parley::protocol {
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
  const std::vector<std::string> fields = {std::to_string(rows),
                                           std::to_string(messages),
                                           kind,
                                           std::to_string(largest),
                                           std::to_string(sms_rows),
                                           std::to_string(lms_rows),
                                           std::to_string(over_rows),
                                           std::to_string(invalid),
                                           std::to_string(duplicates),
                                           std::to_string(cut_rows),
                                           std::to_string(cut_bytes),
                                           std::to_string(unencodable_rows),
                                           EscapeListPart(callback),
                                           callback_problem,
                                           JoinParts(faults_text, kRowSep),
                                           JoinParts(cuts_text, kRowSep),
                                           JoinParts(lost_text, kRowSep)};
  std::string body = JoinParts(fields, kFieldSep);
  if (with_opt_out) {
    std::vector<std::string> opted_text;
    for (const CheckOptedOut& o : opted_out_rows) {
      opted_text.push_back(std::to_string(o.row) + "," + EscapeListPart(o.number));
    }
    body += std::string(kFieldSep) + std::to_string(opted_out) + std::string(kFieldSep) +
            JoinParts(opted_text, kRowSep);
  }
  return body;
}

std::optional<ExcelCheckReply> ExcelCheckReply::Parse(std::string_view body) {
  const std::vector<std::string_view> f = SplitAt(body, kFieldSep);
  if (f.size() != kFields && f.size() != kFieldsWithOptOut) return std::nullopt;
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
  if (f.size() == kFieldsWithOptOut) {
    r.with_opt_out = true;
    entries.clear();
    if (!ReadDecimal(f[17], &r.opted_out) || !ReadEntries(f[18], 2, &entries)) return std::nullopt;
    for (const auto& e : entries) {
      CheckOptedOut opted{0, UnescapeListPart(e[1])};
      if (!ReadDecimal(e[0], &opted.row)) return std::nullopt;
      r.opted_out_rows.push_back(std::move(opted));
    }
  }
  return r;
}

}  // namespace parley::protocol
