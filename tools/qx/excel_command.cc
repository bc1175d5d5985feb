#include "qx/excel_command.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>

#include "client/engine_refusal.h"
#include "client/message_text.h"
#include "client/phone_number.h"
#include "client/picture_check.h"
#include "client/reservation.h"
#include "client/send_check.h"
#include "client/send_rules.h"
#include "client/template_check.h"
#include "client/workbook_check.h"
#include "client/workbook_rules.h"
#include "protocol/excel_check.h"
#include "protocol/markup.h"
#include "protocol/query_requests.h"
#include "protocol/replies.h"
#include "protocol/send_requests.h"
#include "qx/check_command.h"
#include "qx/exit_codes.h"
#include "qx/prefixed_lines.h"
#include "qx/reply_text.h"
#include "qx/rules_data.h"
#include "qx/send_command.h"
#include "qx/text_table.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {
namespace {

constexpr size_t kTextColumns = 48;

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

int Fail(std::string_view what, std::string_view text, Language language, std::ostream& err) {
  err << "qx excel " << what << ": " << Word(language, EngineRefusalVerdict(text)) << "\n";
  return kExitRefused;
}

// Each verdict on its own line after prefix; returns whether there were none.
bool NoProblems(const std::vector<Verdict>& problems, Language language, std::string_view prefix,
                std::ostream& err) {
  for (const Verdict& problem : problems) err << prefix << Word(language, problem) << "\n";
  return problems.empty();
}

}  // namespace

int RunExcelCommand(const ExcelOptions& given, const LinkTarget& target, std::ostream& out,
                    std::ostream& err) {
  ExcelOptions options = given;
  const Language lang = options.language;
  const bool recipients =
      options.action == "preview" || options.action == "send" || options.action == "check";
  if (recipients) {
    if (const auto missing = CheckRecipientOptions(options)) {
      err << "qx excel: " << Word(lang, *missing) << "\n";
      return kExitUsage;
    }
  }
  if (options.action == "send" || options.action == "check") {
    const ReservationResult reserve = ParseReservation(options.reserve, LocalMinuteNow());
    if (!reserve.ok()) {
      err << "qx excel send: " << Word(lang, *reserve.problem) << "\n";
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
    for (const Verdict& problem : CheckPictures(options.images)) {
      err << "qx excel send: " << Word(lang, problem) << "\n";
      pictures_ok = false;
    }
    if (!pictures_ok) return kExitUsage;
    if (options.advert && options.action == "send") {
      options.night_consent =
          ConfirmNightConsent(options.night_consent, options.confirm, lang, err);
    }
  }
  std::vector<std::string> pictures;
  if (const auto staging = options.action == "send" && !options.dry_run
                               ? StagePictures(options.images, options.home, &pictures)
                               : std::nullopt) {
    err << "qx: " << Word(lang, *staging) << "\n";
    return kExitUsage;
  }

  LinkSession session(target, err);
  if (!session.Open()) return kExitNoEngine;
  std::string reply;
  if (options.action == "send" || options.action == "check") {
    // The template's advertising marker and opt-out line, the hours and the callback, before the
    // engine checks every row.
    std::optional<RulesData> rules;
    if (!AskRulesData(session, &rules)) return kExitNoEngine;
    if (!rules && options.advert) {
      err << "qx excel send: " << Text(lang, Msg::kRulesUnavailable) << "\n";
    }
    const std::vector<Verdict> broken =
        rules || options.advert
            ? CheckWorkbookRules(options, rules ? *rules : RulesData{}, std::time(nullptr))
            : std::vector<Verdict>{};
    if (!NoProblems(broken, lang, "qx excel send: ", err)) return kExitUsage;
  }
  std::vector<SheetListing> sheets;
  const SheetListing* sheet = nullptr;
  if (!options.file.empty()) {
    std::error_code ec;
    const std::string path = std::filesystem::absolute(options.file, ec).string();
    if (!session.Ask("EXCEL", protocol::ListingRequest{path}.Build(), &reply)) return kExitNoEngine;
    const std::string listing = AfterPrefix(reply, ExcelPrefix(protocol::ExcelQuery::kListing));
    if (IsException(listing) || !reply.starts_with(ExcelPrefix(protocol::ExcelQuery::kListing)))
      return Fail("list", listing, lang, err);
    sheets = ParseListing(listing);
    if (options.action == "list") {
      PrintListing(sheets, options.language, out);
      return kExitOk;
    }
    Verdict unknown;
    sheet = FindSheet(sheets, options.sheet, &unknown);
    if (sheet == nullptr) {
      err << "qx excel: " << Word(lang, unknown) << "\n";
      return kExitUsage;
    }
    std::vector<Verdict> problems;
    const bool sheet_ok =
        !recipients || CheckAgainstSheet(options, *sheet, &problems,
                                         /*warn_cuts=*/options.action == "preview");
    NoProblems(problems, lang, "qx excel: ", err);
    if (!sheet_ok) return kExitUsage;
  }

  if (options.action == "count") {
    const std::string body =
        protocol::CountRequest{SheetTable(options.sheet), Bracketed(options.column)}.Build();
    if (!session.Ask("EXCEL", body, &reply)) return kExitNoEngine;
    const std::string n = AfterPrefix(reply, ExcelPrefix(protocol::ExcelQuery::kCount));
    if (IsException(n) || !reply.starts_with(ExcelPrefix(protocol::ExcelQuery::kCount)))
      return Fail("count", n, lang, err);
    out << n << "\n";
    return kExitOk;
  }

  if (options.action == "preview") {
    if (!session.Ask("EXCEL", ExcelPreviewBody(options), &reply)) return kExitNoEngine;
    const std::string lines = AfterPrefix(reply, ExcelPrefix(protocol::ExcelQuery::kPreview));
    if (IsException(lines) || !reply.starts_with(ExcelPrefix(protocol::ExcelQuery::kPreview)))
      return Fail("preview", lines, lang, err);
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
    if (IsException(reply)) return Fail(options.action, reply, lang, err);
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
  SendCheckAnswer answer;
  if (!RunSendCheck(session, "ESEND", count, std::to_string(mode), options.reserve, lang, out,
                    &passed, &answer)) {
    return kExitNoEngine;
  }
  if (answer.have_account) {
    const MessageKind kind = mode == 3   ? MessageKind::kMms
                             : mode == 2 ? MessageKind::kLms
                                         : MessageKind::kSms;
    const CostEstimate cost = EstimateCost(answer.account, kind, count);
    if (cost.known && cost.over_balance) {
      err << "qx excel send: " << Word(lang, CostVerdict(cost, count)) << "\n";
      return kExitRefused;
    }
    if (cost.known) out << Word(lang, CostVerdict(cost, count)) << "\n";
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
