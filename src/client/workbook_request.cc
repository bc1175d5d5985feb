#include "client/workbook_request.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "client/message_text.h"
#include "client/reply_fields.h"
#include "client/template_check.h"
#include "protocol/markup.h"
#include "protocol/replies.h"
#include "protocol/send_requests.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {
namespace {

using protocol::kRowSep;
// The mode field: under two characters names a second-number column, two or more a number.
constexpr std::string_view kTwoColumnMode = "1";
constexpr std::string_view kOneColumnMode = "11";

}  // namespace

// The text after prefix; the whole text when it does not start with prefix.
std::string AfterPrefix(const std::string& text, std::string_view prefix) {
  return text.starts_with(prefix) ? text.substr(prefix.size()) : text;
}

// The prefix of an EXCEL reply to the query.
std::string ExcelPrefix(protocol::ExcelQuery query) { return protocol::ExcelReply(query, ""); }

bool IsException(std::string_view text) { return protocol::IsExceptionText(text); }

std::vector<SheetListing> ParseListing(std::string_view listing) {
  std::vector<SheetListing> sheets;
  std::vector<std::string> fields = SplitOn(listing, kFieldSep);
  for (size_t i = 0; i + 3 < fields.size(); i += 4) {
    SheetListing sheet;
    sheet.name = ScreenText(fields[i]);
    sheet.rows = ScreenText(fields[i + 1]);
    if (!fields[i + 2].empty()) {
      for (const std::string& column : SplitOn(fields[i + 2], ",")) {
        sheet.columns.push_back(ScreenText(column));
      }
    }
    for (const std::string& row : SplitOn(fields[i + 3], kRowSep)) {
      std::vector<std::string> values;
      for (const std::string& value : SplitOn(row, ",")) values.push_back(ScreenText(value));
      if (!values.empty() && values.back().empty()) values.pop_back();  // each value ends in ","
      if (!values.empty()) sheet.first_rows.push_back(std::move(values));
    }
    sheets.push_back(std::move(sheet));
  }
  return sheets;
}

std::string Bracketed(const std::string& column) {
  return column.starts_with("[") ? column : "[" + column + "]";
}

// The mode field and the second field of a preview or send.
std::pair<std::string, std::string> SecondNumber(const ExcelOptions& o) {
  if (!o.callback_column.empty()) {
    return {std::string(kTwoColumnMode), Replaced(o.callback_column, ",", "&comma;")};
  }
  return {std::string(kOneColumnMode), o.callback};
}

std::optional<Verdict> CheckRecipientOptions(const ExcelOptions& o) {
  if (o.sheet.empty() || o.phone_column.empty() || o.text.empty()) return Verdict{Msg::kExcelUsage};
  if (o.callback_column.empty() == o.callback.empty()) {
    return Verdict{Msg::kExcelCallbackChoice, {}, kFieldCallback};
  }
  return std::nullopt;
}

// The listing of the sheet named by the user, or null (with the sheets there are on err).
const SheetListing* FindSheet(const std::vector<SheetListing>& sheets, const std::string& sheet,
                              Verdict* unknown) {
  const std::string display = AnsiToUtf8(Utf8ToAnsi(sheet));
  for (const SheetListing& listing : sheets) {
    if (listing.name == display || listing.name + "$" == display) return &listing;
  }
  std::string names;
  for (const SheetListing& listing : sheets) names += (names.empty() ? "" : ", ") + listing.name;
  *unknown = {Msg::kUnknownSheet, {sheet, names}, "sheet", sheet};
  return nullptr;
}

bool CheckAgainstSheet(const ExcelOptions& o, const SheetListing& sheet,
                       std::vector<Verdict>* problems, bool warn_cuts) {
  bool ok = true;
  std::string known;
  for (const std::string& c : sheet.columns) known += (known.empty() ? "" : ", ") + c;
  for (const std::string* column : {&o.phone_column, &o.callback_column}) {
    if (column->empty() ||
        std::find(sheet.columns.begin(), sheet.columns.end(), *column) != sheet.columns.end()) {
      continue;
    }
    problems->push_back({Msg::kTemplateUnknownColumn, {*column, known}, "column", *column});
    ok = false;
  }
  for (const TemplateProblem& problem : CheckTemplate(o.text, sheet.columns, sheet.first_rows, 2)) {
    if (!problem.cut || warn_cuts) problems->push_back(problem.verdict);
    ok = ok && problem.cut;
  }
  return ok;
}

std::string SheetTable(std::string_view sheet) {
  if (sheet.ends_with("$") || sheet.ends_with("$'")) return std::string(sheet);
  return std::string(sheet) + "$";
}

std::string ExcelMessage(std::string_view text) {
  std::vector<TemplateMarker> markers = FindMarkers(text);
  if (markers.empty()) return EscapeUiText(text);
  std::vector<std::string> names;
  std::string list;
  for (const TemplateMarker& m : markers) {
    if (std::find(names.begin(), names.end(), m.name) != names.end()) continue;
    names.push_back(m.name);
    if (!list.empty()) list += ",";
    list += Replaced(m.name, ",", "&comma;");
  }
  return list + std::string(kRowSep) + EscapeUiText(text);
}

size_t ComposedMaxBytes(std::string_view text) {
  size_t bytes = 0;
  size_t from = 0;
  for (const TemplateMarker& m : FindMarkers(text)) {
    bytes += Utf8ToAnsi(text.substr(from, m.begin - from)).size() + m.width;
    from = m.end;
  }
  return bytes + Utf8ToAnsi(text.substr(from)).size();
}

int ExcelSendMode(const ExcelOptions& options) {
  if (!options.images.empty()) return 3;
  return ComposedMaxBytes(options.text) > kSmsBytes ? 2 : 1;
}

std::string ExcelPreviewBody(const ExcelOptions& o) {
  const auto [mode, second] = SecondNumber(o);
  return protocol::PreviewRequest{SheetTable(o.sheet), Replaced(o.phone_column, ",", "&comma;"),
                                  second, ExcelMessage(o.text), mode}
      .Build();
}

std::string ExcelSendBody(const ExcelOptions& o, int mode, int64_t count,
                          const std::vector<std::string>& pictures) {
  const auto [column_mode, second] = SecondNumber(o);
  std::string title = o.title;
  if (o.advert) {
    title = std::string(protocol::kAdvertTag) +
            (o.night_consent ? std::string(protocol::kNightConsentTag) : std::string()) + title;
  }
  return protocol::ExcelSendRequest{mode,
                                    static_cast<int>(count),
                                    title,
                                    o.reserve,
                                    SheetTable(o.sheet),
                                    false,
                                    Replaced(o.phone_column, ",", "&comma;"),
                                    second,
                                    ExcelMessage(o.text),
                                    column_mode,
                                    pictures,
                                    o.dedupe}
      .Build();
}

std::string ExcelCheckBody(const ExcelOptions& o) {
  std::vector<std::string> names;
  for (const std::string& image : o.images) {
    names.push_back(std::filesystem::path(image).filename().string());
  }
  return ExcelSendBody(o, ExcelSendMode(o), 0, names);
}

}  // namespace parley
