#include "qx/excel_command.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "client/message_text.h"
#include "client/phone_number.h"
#include "client/picture_check.h"
#include "client/reservation.h"
#include "client/template_check.h"
#include "client/workbook_check.h"
#include "protocol/excel_check.h"
#include "protocol/markup.h"
#include "protocol/query_requests.h"
#include "protocol/replies.h"
#include "protocol/send_requests.h"
#include "qx/check_command.h"
#include "qx/exit_codes.h"
#include "qx/reply_text.h"
#include "qx/send_command.h"
#include "qx/text_table.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {
namespace {

using protocol::kRowSep;
// The mode field: under two characters names a second-number column, two or more a number.
constexpr std::string_view kTwoColumnMode = "1";
constexpr std::string_view kOneColumnMode = "11";
constexpr size_t kTextColumns = 48;

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

namespace {

void PrintListing(const std::vector<SheetListing>& sheets, Language language, std::ostream& out) {
  if (sheets.empty()) out << Text(language, Msg::kNoSheetWithRows) << "\n";
  for (const SheetListing& sheet : sheets) {
    out << Text(language, Msg::kSheetRows, {sheet.name, sheet.rows}) << "\n";
    size_t width = sheet.columns.size();
    for (const auto& row : sheet.first_rows) width = std::max(width, row.size());
    std::vector<std::string> headings = sheet.columns;
    for (size_t c = headings.size(); c < width; ++c) headings.push_back(std::to_string(c + 1));
    TextTable table(headings, Text(language, Msg::kTableEmpty));
    for (const auto& row : sheet.first_rows) {
      std::vector<std::string> cells;
      for (const std::string& value : row) cells.push_back(Ellipsize(value, kTextColumns));
      table.AddRow(std::move(cells));
    }
    table.Print(out);
    out << "\n";
  }
}

}  // namespace

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

bool CheckRecipientOptions(const ExcelOptions& o, std::ostream& err) {
  if (o.sheet.empty() || o.phone_column.empty() || o.text.empty()) {
    err << "qx excel: " << Text(o.language, Msg::kExcelUsage) << "\n";
    return false;
  }
  if (o.callback_column.empty() == o.callback.empty()) {
    err << "qx excel: " << Text(o.language, Msg::kExcelCallbackChoice) << "\n";
    return false;
  }
  return true;
}

// The listing of the sheet named by the user, or null (with the sheets there are on err).
const SheetListing* FindSheet(const std::vector<SheetListing>& sheets, const std::string& sheet,
                              Language language, std::ostream& err) {
  const std::string display = AnsiToUtf8(Utf8ToAnsi(sheet));
  for (const SheetListing& listing : sheets) {
    if (listing.name == display || listing.name + "$" == display) return &listing;
  }
  std::string names;
  for (const SheetListing& listing : sheets) names += (names.empty() ? "" : ", ") + listing.name;
  err << "qx excel: " << Text(language, Msg::kUnknownSheet, {sheet, names}) << "\n";
  return nullptr;
}

// Checks the phone and callback columns and the template against a sheet's columns and first
// rows, printing every problem on err. False when a column is unknown or a marker has no width
// (cut values are only reported).
bool CheckAgainstSheet(const ExcelOptions& o, const SheetListing& sheet, std::ostream& err) {
  bool ok = true;
  std::string known;
  for (const std::string& c : sheet.columns) known += (known.empty() ? "" : ", ") + c;
  for (const std::string* column : {&o.phone_column, &o.callback_column}) {
    if (column->empty() ||
        std::find(sheet.columns.begin(), sheet.columns.end(), *column) != sheet.columns.end()) {
      continue;
    }
    err << "qx excel: " << Text(o.language, Msg::kTemplateUnknownColumn, {*column, known}) << "\n";
    ok = false;
  }
  for (const TemplateProblem& problem :
       CheckTemplate(o.text, sheet.columns, sheet.first_rows, 2, o.language)) {
    err << "qx excel: " << problem.text << "\n";
    ok = ok && problem.cut;
  }
  return ok;
}

namespace {

int Fail(std::string_view what, std::string_view text, std::ostream& err) {
  err << "qx excel " << what << ": " << ScreenText(text) << "\n";
  return kExitRefused;
}

}  // namespace

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
  return protocol::ExcelSendRequest{mode,
                                    static_cast<int>(count),
                                    o.title,
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

int RunExcelCommand(const ExcelOptions& given, const LinkTarget& target, std::ostream& out,
                    std::ostream& err) {
  ExcelOptions options = given;
  const Language lang = options.language;
  const bool recipients =
      options.action == "preview" || options.action == "send" || options.action == "check";
  if (recipients && !CheckRecipientOptions(options, err)) return kExitUsage;
  if (options.action == "send" || options.action == "check") {
    const ReservationResult reserve = ParseReservation(options.reserve, LocalMinuteNow(), lang);
    if (!reserve.ok()) {
      err << "qx excel send: " << reserve.problem << "\n";
      return kExitUsage;
    }
    options.reserve = reserve.engine_text;
    if (!options.callback.empty()) {
      const NumberResult callback = NormalizeNumber(options.callback, NumberUse::kCallback);
      if (!callback.ok()) {
        err << "qx excel send: --callback: " << Text(lang, callback.reason, {options.callback})
            << "\n";
        return kExitUsage;
      }
      options.callback = callback.number;
    }
    bool pictures_ok = true;
    for (const std::string& problem : CheckPictures(options.images, lang)) {
      err << "qx excel send: " << problem << "\n";
      pictures_ok = false;
    }
    if (!pictures_ok) return kExitUsage;
  }
  std::vector<std::string> pictures;
  if (options.action == "send" && !options.dry_run &&
      !StagePictures(options.images, options.home, &pictures, lang, err)) {
    return kExitUsage;
  }

  LinkSession session(target, err);
  if (!session.Open()) return kExitNoEngine;
  std::string reply;
  std::vector<SheetListing> sheets;
  const SheetListing* sheet = nullptr;
  if (!options.file.empty()) {
    std::error_code ec;
    const std::string path = std::filesystem::absolute(options.file, ec).string();
    if (!session.Ask("EXCEL", protocol::ListingRequest{path}.Build(), &reply)) return kExitNoEngine;
    const std::string listing = AfterPrefix(reply, ExcelPrefix(protocol::ExcelQuery::kListing));
    if (IsException(listing) || !reply.starts_with(ExcelPrefix(protocol::ExcelQuery::kListing)))
      return Fail("list", listing, err);
    sheets = ParseListing(listing);
    if (options.action == "list") {
      PrintListing(sheets, options.language, out);
      return kExitOk;
    }
    sheet = FindSheet(sheets, options.sheet, lang, err);
    if (sheet == nullptr) return kExitUsage;
    if (recipients && !CheckAgainstSheet(options, *sheet, err)) return kExitUsage;
  }

  if (options.action == "count") {
    const std::string body =
        protocol::CountRequest{SheetTable(options.sheet), Bracketed(options.column)}.Build();
    if (!session.Ask("EXCEL", body, &reply)) return kExitNoEngine;
    const std::string n = AfterPrefix(reply, ExcelPrefix(protocol::ExcelQuery::kCount));
    if (IsException(n) || !reply.starts_with(ExcelPrefix(protocol::ExcelQuery::kCount)))
      return Fail("count", n, err);
    out << n << "\n";
    return kExitOk;
  }

  if (options.action == "preview") {
    if (!session.Ask("EXCEL", ExcelPreviewBody(options), &reply)) return kExitNoEngine;
    const std::string lines = AfterPrefix(reply, ExcelPrefix(protocol::ExcelQuery::kPreview));
    if (IsException(lines) || !reply.starts_with(ExcelPrefix(protocol::ExcelQuery::kPreview)))
      return Fail("preview", lines, err);
    TextTable table(Headings(options.language, Msg::kPreviewHeadings),
                    Text(options.language, Msg::kTableEmpty));
    for (const std::string& line : SplitOn(lines, kFieldSep)) {
      if (line.empty()) continue;
      std::vector<std::string> cells = SplitOn(line, ",");
      cells.resize(3);
      table.AddRow({ScreenText(cells[0]), ScreenText(cells[1]), ScreenText(cells[2])});
    }
    table.Print(out);
    return kExitOk;
  }

  // The full check of every row, then the send to the rows it found valid.
  if (!session.Ask("EXCHK", ExcelCheckBody(options), &reply)) return kExitNoEngine;
  const std::optional<protocol::ExcelCheckReply> check = protocol::ExcelCheckReply::Parse(reply);
  if (!check) {
    if (IsException(reply)) return Fail(options.action, reply, err);
    err << "qx excel " << options.action << ": " << Text(lang, Msg::kEngineAnsweredNothing) << "\n";
    return kExitRefused;
  }
  for (const std::string& line : DescribeWorkbookCheck(*check, lang)) out << line << "\n";
  const WorkbookSendPlan plan =
      PlanWorkbookSend(*check, !options.images.empty(), options.skip_invalid, options.allow_cut);
  for (WorkbookBlock block : plan.blocks) {
    err << "qx excel " << options.action << ": " << BlockText(block, *check, lang) << "\n";
  }
  if (!plan.ok()) return kExitUsage;
  if (options.action == "check") return kExitOk;
  if (check->invalid > 0) {
    out << Text(lang, Msg::kCheckSkipping, {std::to_string(check->invalid)}) << "\n";
  }
  const int64_t count = options.count > 0 ? std::min(options.count, plan.messages) : plan.messages;
  out << Text(lang, Msg::kRecipientsCount, {std::to_string(count)}) << "\n";
  const int mode = plan.mode;
  bool passed = false;
  if (!RunSendCheck(session, "ESEND", count, std::to_string(mode), options.reserve, lang, out,
                    &passed)) {
    return kExitNoEngine;
  }
  if (!passed) {
    err << "qx excel send: " << Text(lang, Msg::kCheckNotPassed) << "\n";
    return kExitRefused;
  }
  if (const int stop =
          StopBeforeSending(options.dry_run, options.confirm, lang, "qx excel send", out, err);
      stop >= 0) {
    return stop;
  }
  const std::string label =
      "sending " + std::to_string(count) + " message(s) from " + options.sheet + "...";
  return RunJobSend(session, "ESEND", ExcelSendBody(options, mode, count, pictures), label,
                    options.progress, Utf8ToAnsi("성공적으로 전송되었습니다"), lang, out, err);
}

}  // namespace parley
