#include "commands/excel_commands.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <spdlog/spdlog.h>

#include "commands/dsend_command.h"
#include "commands/send_answer.h"
#include "commands/send_orders.h"
#include "commands/send_rules.h"
#include "db/db_exception.h"
#include "engine/engine.h"
#include "numbers/korean_number.h"
#include "protocol/markup.h"
#include "protocol/query_requests.h"
#include "protocol/replies.h"
#include "protocol/send_requests.h"
#include "send/excel_send.h"
#include "send/send_refusals.h"
#include "sheets/excel_workbook.h"
#include "sheets/rows_check.h"
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

namespace {

// The words of a number problem in the answer's line (CP949).
std::string ProblemWords(std::string_view what, std::string_view problem) {
  const bool callback = what == "callback";
  switch (ProblemFromToken(problem)) {
    case NumberProblem::kEmpty:
      return Utf8ToAnsi(callback ? "회신번호 빈 칸" : "빈 칸");
    case NumberProblem::kNotMobile:
      return Utf8ToAnsi("휴대폰 번호가 아님");
    case NumberProblem::kNotCallback:
      return Utf8ToAnsi("회신번호가 아님");
    case NumberProblem::kNone:
    case NumberProblem::kNotDigits:
      break;
  }
  return Utf8ToAnsi(callback ? "회신번호가 번호가 아님" : "번호가 아님");
}

// A cell inside the answer's line: nothing in it can end the field or the message.
std::string QuotedCell(std::string_view cell) {
  std::string out = "\"";
  for (const char c : cell) {
    if (c == '<') {
      out += "%3C";
    } else if (c == '`' || c == '\r' || c == '\n') {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// What the send reads: the order, its columns and, when the one-column callback cannot be used,
// the refusal.
struct PreparedSend {
  ExcelSend send;
  SendRefusal callback = SendRefusal::kNone;
  SendMarks marks;
  SendingRules rules;
};

// The send of body under the engine's sending rules: the rows of recipients on the opt-out list
// are left out when the rules say so.
PreparedSend PrepareSend(Engine& engine, std::string_view body) {
  const protocol::ExcelSendRequest request = protocol::ExcelSendRequest::Parse(body);
  PreparedSend p{ExcelSendOf(request), SendRefusal::kNone, MarksOf(request.tags),
                 LoadSendingRules(engine)};
  if (!p.send.order.two_column) {
    p.callback = NormalizeCallback(&p.send.order.second);
    p.send.columns.second = p.send.order.second;
  }
  if (!p.rules.opted_out.empty() && (p.marks.advert || p.rules.optout_applies_all)) {
    p.send.columns.opted_out =
        std::make_shared<const std::unordered_set<std::string>>(p.rules.opted_out);
  }
  return p;
}

// The rule each row of a send keeps: an advertising text's marker and footer, and a callback cell
// that is registered.
RowRule RowRuleOf(const PreparedSend& p) {
  const SendingRules* rules = &p.rules;
  const bool advert = p.marks.advert;
  const bool two_column = p.send.order.two_column;
  return [rules, advert, two_column](const SheetRow& row) {
    if (advert) {
      if (std::string fault = AdTextFault(*rules, row.text); !fault.empty()) return fault;
    }
    return two_column ? CallbackFault(*rules, row.callback) : std::string();
  };
}

// Why the send may not go before its rows are read (CP949), or empty: its one-column callback,
// and the rules that do not depend on a row.
std::string SendFaultOf(Engine& engine, const PreparedSend& p) {
  std::string fault = RefusalReason(p.callback);
  if (!fault.empty()) return fault;
  const ExcelOrder& order = p.send.order;
  return SendFault(p.rules, p.marks, RulesNow(engine), nullptr, order.reserve_date,
                   order.two_column ? std::string_view() : std::string_view(order.second));
}

// The reason of a row that breaks the rules: "N행: " and why.
std::string RowFaultText(const RowFault& fault) {
  return std::to_string(fault.row) + Utf8ToAnsi("행: ") + fault.reason;
}

// Opens the stored workbook on the worker and checks every row as `send` reads it; the reason
// (CP949) when the workbook or its rows cannot be read.
asio::awaitable<std::string> CheckOnWorker(Engine& engine, ExcelWorkbook& workbook,
                                           const ExcelSend& send, protocol::ExcelCheckReply* check,
                                           std::vector<LeftOutRow>* left_out,
                                           const RowRule& rule = {},
                                           std::optional<RowFault>* fault = nullptr) {
  const std::string path = engine.session().workbook_path();
  WorkbookCache* cache = &engine.services().workbooks();
  co_return co_await engine.services().workbook_worker().Run(
      [&workbook, &path, cache, &send, check, left_out, &rule, fault] {
        try {
          workbook.OpenWorkbook(path, cache);
          WorkbookRows rows(workbook, send.columns, send.order.text);
          if (std::string bad = rows.CheckQuery(); !bad.empty()) return bad;
          const bool pictures = send.order.kind == SendKind::kMms && !send.order.pictures.empty();
          if (!CheckSheetRows(rows, send.order.count, pictures, check, left_out, rule, fault)) {
            return rows.error();
          }
        } catch (const CDBException& e) {
          return std::string(e.what());
        }
        return std::string();
      });
}

}  // namespace

std::string LeftOutText(const protocol::ExcelCheckReply& check) {
  constexpr size_t kNamed = 10;
  std::string text = Utf8ToAnsi("번호가 잘못된 ") + std::to_string(check.invalid) +
                     Utf8ToAnsi("개 행은 보내지 않았습니다: ");
  for (size_t i = 0; i < check.faults.size() && i < kNamed; ++i) {
    const protocol::CheckFault& f = check.faults[i];
    if (i > 0) text += ", ";
    text += std::to_string(f.row) + Utf8ToAnsi("행 ") + QuotedCell(f.cell) + "(" +
            ProblemWords(f.what, f.problem) + ")";
  }
  const int64_t named = static_cast<int64_t>(std::min(check.faults.size(), kNamed));
  if (check.invalid > named) {
    text += Utf8ToAnsi(" 외 ") + std::to_string(check.invalid - named) + Utf8ToAnsi("개");
  }
  return text;
}

asio::awaitable<std::string> OnExCheck(Engine& engine, std::string body) {
  PreparedSend prepared = PrepareSend(engine, body);
  // Every row of the sheet, whatever the count says.
  prepared.send.order.count = 0;
  protocol::ExcelCheckReply check;
  ExcelWorkbook workbook;
  const std::string failure =
      co_await CheckOnWorker(engine, workbook, prepared.send, &check, nullptr);
  if (!failure.empty()) {
    spdlog::warn("EXCHK: {}", AnsiToUtf8(failure));
    co_return protocol::ExceptionText(failure);
  }
  if (!prepared.send.order.two_column) {
    const CheckedNumber callback =
        CheckKoreanNumber(prepared.send.order.second, NumberUse::kCallback);
    check.callback = callback.digits;
    check.callback_problem = std::string(ProblemToken(callback.problem));
  }
  check.with_opt_out = !prepared.rules.opted_out.empty();
  co_return check.Build();
}

asio::awaitable<std::string> OnESend(Engine& engine, std::string body) {
  const int mode = protocol::SendModeOf(body);
  if (mode == protocol::kSendCheck) {
    co_return co_await SendCheck(engine, protocol::SendCheckRequest::Parse(body));
  }

  std::string report;
  std::optional<std::string> result = RefuseSend(engine, kExcelJob, mode, body, "ESEND");
  if (!result) {
    PreparedSend prepared = PrepareSend(engine, body);
    ExcelSend& send = prepared.send;
    ExcelWorkbook workbook;
    protocol::ExcelCheckReply check;
    std::vector<LeftOutRow> left_out;
    const std::string path = engine.session().workbook_path();
    const RowRule rule = RowRuleOf(prepared);
    std::optional<RowFault> fault;
    // Loaded and checked on the workbook worker; the rows are then read here, between gateway
    // waits.
    // Awaited in a statement of its own: GCC 12 mishandles a co_await inside a conditional.
    std::string failure = SendFaultOf(engine, prepared);
    if (failure.empty()) {
      failure = co_await CheckOnWorker(engine, workbook, send, &check, &left_out, rule, &fault);
    }
    if (failure.empty() && fault) failure = RowFaultText(*fault);
    if (!failure.empty()) {
      spdlog::error("ESEND: workbook {}: {}", path, AnsiToUtf8(failure));
      result = protocol::ExceptionText(failure);
    } else {
      JobSource source{Utf8ToAnsi("workbook " + path + ", sheet ") + send.columns.sheet};
      source.advert = prepared.marks.advert;
      source.night_consent = prepared.marks.night_consent;
      for (LeftOutRow& row : left_out) {
        source.left_out.push_back({row.row, std::move(row.cell), std::move(row.reason)});
      }
      if (check.invalid > 0) {
        spdlog::warn("ESEND: {} rows left out for a phone or callback cell that is no number",
                     check.invalid);
      }
      WorkbookRows rows(workbook, std::move(send.columns), send.order.text);
      const SendKind kind = send.order.kind;
      SendSetup setup = engine.services().MakeSendSetup(engine.session(), std::move(source));
      const SendResult sent = co_await engine.link().dispatcher().turn().Aside(
          SendExcel(setup, rows, std::move(send.order)));
      result = SendAnswer(sent, kExcelJob, kind);
      if (check.invalid > 0 && !protocol::IsExceptionText(*result)) {
        *result += "\n" + LeftOutText(check);
      }
      if (check.opted_out > 0 && !protocol::IsExceptionText(*result)) {
        *result += "\n" + OptedOutLine(check.opted_out);
      }
      report = sent.report;
    }
  }
  co_return co_await AfterSend(engine, *result, report);
}

}  // namespace parley
