#include "commands/excel_commands.h"

#include <algorithm>
#include <string_view>

#include <spdlog/spdlog.h>

#include "commands/dsend_command.h"
#include "commands/login_command.h"
#include "db/db_exception.h"
#include "engine/engine.h"
#include "excel/excel_send.h"
#include "excel/excel_workbook.h"
#include "send/send_refusals.h"
#include "text/cp949.h"
#include "text/mbcs.h"
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

}  // namespace

asio::awaitable<std::string> OnExcel(Engine& engine, CommandBody request) {
  const std::string& body = request.text;
  if (!body.empty() && body[0] == '1') {
    engine.session().set_workbook_path(ListingPath(request));
    co_return Answer(engine, "1<QX>", [](ExcelWorkbook& wb) { return wb.ListSheets(); });
  }
  if (!body.empty() && body[0] == '2') {
    co_return Answer(engine, "2<QX>",
                     [&body](ExcelWorkbook& wb) { return wb.CountDistinct(body); });
  }
  const std::string fields = Replaced(body, kSep, "`");
  co_return Answer(engine, "3<QX>", [&fields](ExcelWorkbook& wb) { return wb.Preview(fields); });
}

asio::awaitable<std::string> OnESend(Engine& engine, std::string body) {
  const bool raw_backtick = HoldsRawBacktick(body);
  ReplaceAll(body, kSep, "`");
  const int mode = Atoi(ExtractSubString(body, 0, '`'));
  if (mode == kModeCheck) co_return SendCheck(engine, body);

  std::string result;
  std::string report;
  const bool sends = mode == kModeSms || mode == kModeLongText || mode == kModePicture;
  if (sends && engine.session().send_permission() == 1 && raw_backtick) {
    spdlog::warn("ESEND refused: a field holds a raw backtick, which would cut it");
    result = RefusalText(SendRefusal::kRawBacktick);
  } else if (sends && engine.session().send_permission() == 1) {
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
      const DirectSendSetup setup = engine.services().MakeSendSetup(engine.session());
      if (mode == kModeSms) {
        result = co_await SendExcelSms(setup, workbook, std::move(body), "SMS", &report);
      } else {
        result = co_await SendExcelMms(setup, workbook, std::move(body));
      }
    }
  }
  ReportSent(engine.services().web(), engine.services().config().web_base, report);
  result += RefreshUserInfo(engine);
  co_return result;
}

}  // namespace parley
