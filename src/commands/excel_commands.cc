#include "commands/excel_commands.h"

#include <optional>
#include <string_view>

#include <spdlog/spdlog.h>

#include "commands/dsend_command.h"
#include "commands/send_answer.h"
#include "commands/send_orders.h"
#include "db/db_exception.h"
#include "engine/engine.h"
#include "sheets/excel_workbook.h"
#include "sheets/workbook_rows.h"
#include "protocol/markup.h"
#include "protocol/query_requests.h"
#include "protocol/replies.h"
#include "protocol/send_requests.h"
#include "send/excel_send.h"
#include "send/send_refusals.h"
#include "text/cp949.h"

namespace parley {

namespace {

// Runs one EXCEL sub-command on a freshly opened workbook and answers with the sub-command's
// prefix; a database failure becomes the "Exception:[...]" answer instead of leaving the UI
// program without a reply.
template <typename Query>
std::string Answer(Engine& engine, protocol::ExcelQuery kind, Query query) {
  std::string answer;
  try {
    ExcelWorkbook workbook;
    workbook.OpenWorkbook(engine.session().workbook_path(), &engine.services().workbooks());
    answer = query(workbook);
  } catch (const CDBException& e) {
    spdlog::error("EXCEL: workbook {}: {}", engine.session().workbook_path(), AnsiToUtf8(e.what()));
    answer = protocol::ExceptionText(e.what());
  }
  return protocol::ExcelReply(kind, answer);
}

std::string CountText(const std::string& count) { return count; }

}  // namespace

asio::awaitable<std::string> OnExcel(Engine& engine, CommandBody request) {
  const std::string& body = request.text;
  switch (protocol::ExcelQueryOf(body)) {
    case protocol::ExcelQuery::kListing:
      engine.session().set_workbook_path(
          protocol::ListingRequest::Parse(request.sent, request.text).path);
      co_return Answer(engine, protocol::ExcelQuery::kListing, [](ExcelWorkbook& wb) {
        return protocol::SheetListingReply(wb.ListSheets());
      });
    case protocol::ExcelQuery::kCount: {
      const protocol::CountRequest count = protocol::CountRequest::Parse(body);
      co_return Answer(engine, protocol::ExcelQuery::kCount, [&count](ExcelWorkbook& wb) {
        return AnswerText(wb.CountDistinct(count.sheet, count.column), CountText);
      });
    }
    case protocol::ExcelQuery::kPreview:
      break;
  }
  const protocol::PreviewRequest preview = protocol::PreviewRequest::Parse(body);
  co_return Answer(engine, protocol::ExcelQuery::kPreview, [&preview](ExcelWorkbook& wb) {
    return AnswerText(wb.Preview(preview), protocol::PreviewLines);
  });
}

asio::awaitable<std::string> OnESend(Engine& engine, std::string body) {
  const int mode = protocol::SendModeOf(body);
  if (mode == protocol::kSendCheck) {
    co_return SendCheck(engine, protocol::SendCheckRequest::Parse(body));
  }

  std::string report;
  std::optional<std::string> result = RefuseSend(engine, kExcelJob, mode, body, "ESEND");
  if (!result) {
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
      result = protocol::ExceptionText(failure);
    } else {
      ExcelSend send = ExcelSendOf(protocol::ExcelSendRequest::Parse(body));
      WorkbookRows rows(workbook, std::move(send.columns), send.order.text);
      const SendKind kind = send.order.kind;
      const SendResult sent = co_await SendExcel(engine.services().MakeSendSetup(engine.session()),
                                                 rows, std::move(send.order));
      result = SendAnswer(sent, kExcelJob, kind);
      report = sent.report;
    }
  }
  co_return AfterSend(engine, *result, report);
}

}  // namespace parley
