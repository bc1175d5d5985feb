#include "commands/excel_commands.h"

#include <optional>
#include <string_view>

#include <spdlog/spdlog.h>

#include "commands/dsend_command.h"
#include "commands/send_answer.h"
#include "commands/send_orders.h"
#include "db/db_exception.h"
#include "engine/engine.h"
#include "protocol/markup.h"
#include "protocol/query_requests.h"
#include "protocol/replies.h"
#include "protocol/send_requests.h"
#include "send/excel_send.h"
#include "send/send_refusals.h"
#include "sheets/excel_workbook.h"
#include "sheets/workbook_rows.h"
#include "text/cp949.h"

namespace parley {

namespace {

// Runs one EXCEL sub-command on a freshly opened workbook, on the workbook worker, and answers
// with the sub-command's prefix; a database failure becomes the "Exception:[...]" answer instead
// of leaving the UI program without a reply.
template <typename Query>
asio::awaitable<std::string> Answer(Engine& engine, protocol::ExcelQuery kind, Query query) {
  const std::string path = engine.session().workbook_path();
  WorkbookCache* cache = &engine.services().workbooks();
  std::string answer = co_await engine.services().workbook_worker().Run([&path, cache, &query] {
    try {
      ExcelWorkbook workbook;
      workbook.OpenWorkbook(path, cache);
      return query(workbook);
    } catch (const CDBException& e) {
      spdlog::error("EXCEL: workbook {}: {}", path, AnsiToUtf8(e.what()));
      return protocol::ExceptionText(e.what());
    }
  });
  co_return protocol::ExcelReply(kind, answer);
}

std::string CountText(const std::string& count) { return count; }

}  // namespace

asio::awaitable<std::string> OnExcel(Engine& engine, CommandBody request) {
  const std::string& body = request.text;
  switch (protocol::ExcelQueryOf(body)) {
    case protocol::ExcelQuery::kListing:
      engine.session().set_workbook_path(
          protocol::ListingRequest::Parse(request.sent, request.text).path);
      co_return co_await Answer(engine, protocol::ExcelQuery::kListing, [](ExcelWorkbook& wb) {
        return protocol::SheetListingReply(wb.ListSheets());
      });
    case protocol::ExcelQuery::kCount: {
      const protocol::CountRequest count = protocol::CountRequest::Parse(body);
      co_return co_await Answer(engine, protocol::ExcelQuery::kCount, [&count](ExcelWorkbook& wb) {
        return AnswerText(wb.CountDistinct(count.sheet, count.column), CountText);
      });
    }
    case protocol::ExcelQuery::kPreview:
      break;
  }
  const protocol::PreviewRequest preview = protocol::PreviewRequest::Parse(body);
  co_return co_await Answer(engine, protocol::ExcelQuery::kPreview, [&preview](ExcelWorkbook& wb) {
    return AnswerText(wb.Preview(preview), protocol::PreviewLines);
  });
}

asio::awaitable<std::string> OnESend(Engine& engine, std::string body) {
  const int mode = protocol::SendModeOf(body);
  if (mode == protocol::kSendCheck) {
    co_return co_await SendCheck(engine, protocol::SendCheckRequest::Parse(body));
  }

  std::string report;
  std::optional<std::string> result = RefuseSend(engine, kExcelJob, mode, body, "ESEND");
  if (!result) {
    ExcelWorkbook workbook;
    const std::string path = engine.session().workbook_path();
    WorkbookCache* cache = &engine.services().workbooks();
    // Loaded on the workbook worker; the rows are then read here, between gateway waits.
    const std::string failure =
        co_await engine.services().workbook_worker().Run([&workbook, &path, cache] {
          try {
            workbook.OpenWorkbook(path, cache);
          } catch (const CDBException& e) {
            return std::string(e.what());
          }
          return std::string();
        });
    if (!failure.empty()) {
      spdlog::error("ESEND: workbook {}: {}", engine.session().workbook_path(),
                    AnsiToUtf8(failure));
      result = protocol::ExceptionText(failure);
    } else {
      ExcelSend send = ExcelSendOf(protocol::ExcelSendRequest::Parse(body));
      JobSource source{Utf8ToAnsi("workbook " + path + ", sheet ") + send.columns.sheet};
      WorkbookRows rows(workbook, std::move(send.columns), send.order.text);
      const SendKind kind = send.order.kind;
      SendSetup setup = engine.services().MakeSendSetup(engine.session(), std::move(source));
      const SendResult sent = co_await engine.link().dispatcher().turn().Aside(
          SendExcel(setup, rows, std::move(send.order)));
      result = SendAnswer(sent, kExcelJob, kind);
      report = sent.report;
    }
  }
  co_return co_await AfterSend(engine, *result, report);
}

}  // namespace parley
