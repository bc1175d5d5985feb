#include "commands/excel_commands.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include <spdlog/spdlog.h>

#include "commands/dsend_command.h"
#include "commands/login_command.h"
#include "commands/send_answer.h"
#include "db/db_exception.h"
#include "engine/engine.h"
#include "excel/excel_workbook.h"
#include "excel/workbook_rows.h"
#include "send/excel_send.h"
#include "send/job_package.h"
#include "send/send_refusals.h"
#include "text/cp949.h"
#include "text/mbcs.h"
#include "text/text_codes.h"
#include "web/send_calls.h"

namespace parley {
namespace {

constexpr std::string_view kSep = "<QX>";

enum ESendMode { kModeSms = 1, kModeLongText = 2, kModePicture = 3, kModeCheck = 4 };

// Runs one EXCEL sub-command on a freshly opened workbook; a database failure becomes the
// "Exception:[...]" answer instead of leaving the UI program without a reply.
template <typename Query>
std::string Answer(Engine& engine, std::string_view prefix, Query query) {
  std::string reply(prefix);
  try {
    ExcelWorkbook workbook;
    workbook.OpenWorkbook(engine.session().workbook_path(), &engine.services().workbooks());
    reply += query(workbook);
  } catch (const CDBException& e) {
    spdlog::error("EXCEL: workbook {}: {}", engine.session().workbook_path(), AnsiToUtf8(e.what()));
    reply += ExceptionText(e.what());
  }
  return reply;
}

// The workbook path of a listing body: everything after its first five characters ("1<QX>"),
// taken from the bytes the UI program sent. Only when those five are not plain ASCII (so the
// two forms do not line up) does the path come back from the CP949 text.
std::string ListingPath(const CommandBody& body) {
  constexpr size_t kPrefix = 5;
  const bool ascii_prefix =
      body.sent.size() >= kPrefix && std::all_of(body.sent.begin(), body.sent.begin() + kPrefix,
                                                 [](char c) { return (c & 0x80) == 0; });
  if (ascii_prefix) return body.sent.substr(kPrefix);
  return body.text.size() > kPrefix ? AnsiToUtf8(body.text.substr(kPrefix)) : std::string();
}

constexpr std::string_view kOverlap = "<OVERLAP>";

// The picture names of an ESEND MMS body: read only when "<IMG>" stands in the body after its
// first character, from field 9 without its first five characters; up to three names, counted by
// the commas that follow them (an empty one counts).
std::vector<std::string> CountedPictures(std::string_view body) {
  std::vector<std::string> names;
  const size_t marker = body.find(kImageMarker);
  if (marker == std::string_view::npos || marker == 0) return names;
  std::string list = ExtractSubString(body, 9, '`');
  list.erase(0, std::min(list.size(), kImageMarker.size()));
  size_t counted = 0;
  for (size_t comma = list.find(',');
       comma != std::string::npos && comma > 0 && counted < kMaxJobPictures;
       comma = list.find(',', comma + 1)) {
    ++counted;
  }
  for (size_t k = 0; k < counted; ++k) {
    names.push_back(ExtractSubString(list, static_cast<int>(k), ','));
  }
  return names;
}

// An ESEND send from its body, "<QX>" replaced by backticks: the order and the sheet columns.
// Fields: 0 mode, 1 most recipients, 2 title, 3 reservation, 4 sheet table, 5 phone column
// (with "<OVERLAP>" in front for distinct rows), 6 second-number column or the one-column
// callback, 7 text escaped for the UI link, 8 mode (two characters or more: one-column), 9 (MMS)
// "<IMG>" and picture names each followed by a comma.
struct ExcelSend {
  ExcelOrder order;
  SheetColumns columns;
};

ExcelSend ReadExcelSend(const std::string& body, int mode) {
  const BodyFields f(body);
  ExcelSend send;
  ExcelOrder& order = send.order;
  ReadOrderHead(f, mode, &order);
  order.text = DecodeUiText(f[7]);
  order.second = Replaced(f[6], "&comma;", ",");
  order.two_column = f[8].size() < 2;
  if (order.kind == SendKind::kMms) order.pictures = CountedPictures(body);
  SheetColumns& columns = send.columns;
  columns.sheet = f[4];
  std::string_view phone = f[5];
  if (phone.find(kOverlap) != std::string_view::npos) {
    columns.distinct = true;
    phone.remove_prefix(std::min(phone.size(), kOverlap.size()));
  }
  columns.phone = Replaced(phone, "&comma;", ",");
  columns.second = order.second;
  columns.two_column = order.two_column;
  return send;
}

}  // namespace

asio::awaitable<std::string> OnExcel(Engine& engine, CommandBody request) {
  const std::string& body = request.text;
  if (!body.empty() && body[0] == '1') {
    engine.session().set_workbook_path(ListingPath(request));
    co_return Answer(engine, "1<QX>", [](ExcelWorkbook& wb) { return wb.ListSheets(); });
  }
  if (!body.empty() && body[0] == '2') {
    const protocol::CountRequest count = protocol::CountRequest::Parse(body);
    co_return Answer(engine, "2<QX>", [&count](ExcelWorkbook& wb) {
      return AnswerText(wb.CountDistinct(count.sheet, count.column),
                        [](const std::string& n) { return n; });
    });
  }
  const protocol::PreviewRequest preview = protocol::PreviewRequest::Parse(body);
  co_return Answer(engine, "3<QX>", [&preview](ExcelWorkbook& wb) {
    return AnswerText(wb.Preview(preview), protocol::PreviewLines);
  });
}

asio::awaitable<std::string> OnESend(Engine& engine, std::string body) {
  const bool raw_backtick = HoldsRawBacktick(body);
  ReplaceAll(body, kSep, "`");
  const int mode = Atoi(ExtractSubString(body, 0, '`'));
  if (mode == kModeCheck) co_return SendCheck(engine, body);

  std::string result;
  std::string report;
  const bool sends = mode == kModeSms || mode == kModeLongText || mode == kModePicture;
  const bool permitted = !kExcelJob.send_check || engine.session().send_permission() == 1;
  if (sends && permitted && raw_backtick) {
    spdlog::warn("ESEND refused: a field holds a raw backtick, which would cut it");
    result = RefusalText(SendRefusal::kRawBacktick);
  } else if (sends && permitted) {
    ExcelWorkbook workbook;
    std::string failure;
    try {
      workbook.OpenWorkbook(engine.session().workbook_path(), &engine.services().workbooks());
    } catch (const CDBException& e) {
      failure = e.what();
    }
    if (!failure.empty()) {
      spdlog::error("ESEND: workbook {}: {}", engine.session().workbook_path(),
                    AnsiToUtf8(failure));
      result = ExceptionText(failure);
    } else {
      ExcelSend send = ReadExcelSend(body, mode);
      WorkbookRows rows(workbook, std::move(send.columns), send.order.text);
      const SendKind kind = send.order.kind;
      const SendResult sent = co_await SendExcel(engine.services().MakeSendSetup(engine.session()),
                                                 rows, std::move(send.order));
      result = SendAnswer(sent, kExcelJob, kind);
      report = sent.report;
    }
  }
  ReportSent(engine.services().web(), engine.services().config().web_base, report);
  result += RefreshUserInfo(engine);
  co_return result;
}

}  // namespace parley
