#include "excel/excel_send.h"

#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include <spdlog/spdlog.h>

#include "db/db_exception.h"
#include "db/excel_database.h"
#include "db/recordset.h"
#include "excel/excel_workbook.h"
#include "send/gateway_records.h"
#include "send/mms_bulk_socket.h"
#include "send/send_refusals.h"
#include "send/skn_builder.h"
#include "send/skn_package.h"
#include "text/cp949.h"
#include "text/mbcs.h"
#include "text/text_codes.h"

namespace parley {
namespace {

constexpr char kFieldSep = '`';
constexpr std::string_view kOverlap = "<OVERLAP>";
constexpr std::string_view kSubstituteNumber = "010-0000-0000";
constexpr int kMaxPictures = 3;

// The fields of an Excel send request.
struct ExcelJob {
  int64_t count = 0;
  std::string title;
  std::string reserve_date;
  std::string sheet;
  bool overlap = false;
  std::string phone_column;
  std::string second;  // the second-number column, or the callback in one-column mode
  std::string text;    // field 7 decoded
  bool two_column = true;
};

ExcelJob ReadJob(std::string_view request, std::string_view default_title) {
  const std::vector<std::string_view> f = SplitFields(request, kFieldSep);
  auto at = [&f](size_t i) { return i < f.size() ? f[i] : std::string_view(); };
  ExcelJob job;
  job.count = Atoi(at(1));
  job.title = std::string(at(2).empty() ? default_title : at(2));
  job.reserve_date = std::string(at(3));
  job.sheet = std::string(at(4));
  std::string_view phone = at(5);
  if (phone.find(kOverlap) != std::string_view::npos) {
    job.overlap = true;
    phone.remove_prefix(std::min(phone.size(), kOverlap.size()));
  }
  job.phone_column = Replaced(phone, "&comma;", ",");
  job.second = Replaced(at(6), "&comma;", ",");
  job.text = DecodeUiText(at(7));
  job.two_column = at(8).size() < 2;
  return job;
}

// Recipient, callback and text of the current row of rs.
struct RowMessage {
  std::string recipient;
  std::string callback;
  std::string text;
};

RowMessage ReadRow(const CRecordset& rs, const ExcelJob& job, const ExcelWorkbook& wb) {
  RowMessage m;
  m.recipient = rs.GetFieldValue(0);
  m.recipient = m.recipient.size() >= 8 && m.recipient.size() <= 13
                    ? ExcelWorkbook::NormalizeCell(std::move(m.recipient), true)
                    : std::string(kSubstituteNumber);
  if (job.two_column) {
    m.callback = rs.GetFieldValue(1);
    m.callback = !m.callback.empty() && m.callback.size() <= 13
                     ? ExcelWorkbook::NormalizeCell(std::move(m.callback), true)
                     : std::string(kSubstituteNumber);
  } else {
    m.callback = job.second;
  }
  m.text = wb.ComposeText([&rs](int i) { return rs.GetFieldValue(i); }, job.two_column ? 2 : 1);
  return m;
}

// Reads the rows a job will send (at most job.count) once before the gateway is contacted.
// Returns an empty text and the number of rows in *rows, or the reason the job cannot be sent.
std::string CheckRows(CExcelDatabase& db, const std::string& sql, const ExcelJob& job,
                      const ExcelWorkbook& wb, bool text_in_packet, int64_t* rows) {
  *rows = 0;
  if (job.count < 0 || job.count > kMaxRecipientCount) {
    return Utf8ToAnsi("수신자 수가 범위를 벗어났습니다: ") + std::to_string(job.count);
  }
  if (!job.two_column && job.second.size() > kMaxNumberBytes) {
    return Utf8ToAnsi("회신번호가 너무 깁니다 (19바이트까지)");
  }
  CRecordset rs(db);
  rs.Open(sql);
  for (; *rows < job.count && !rs.IsEOF(); ++*rows) {
    if (text_in_packet) {
      const RowMessage m = ReadRow(rs, job, wb);
      if (m.text.size() > kMaxTextBytes) {
        return std::to_string(*rows + 1) + Utf8ToAnsi("번째 수신자의 메시지가 ") +
               std::to_string(m.text.size()) + Utf8ToAnsi("바이트입니다 (SMS는 99바이트까지)");
      }
    }
    rs.MoveNext();
  }
  rs.Close();
  return std::string();
}

// The picture names of an MMS request: up to three, counted by the commas that follow them.
std::vector<std::string> PictureNames(std::string_view request) {
  std::vector<std::string> names;
  const size_t marker = request.find(kImageMarker);
  if (marker == std::string_view::npos || marker == 0) return names;
  std::string list = ExtractSubString(request, 9, kFieldSep);
  list.erase(0, std::min(list.size(), kImageMarker.size()));
  int counted = 0;
  for (size_t comma = list.find(',');
       comma != std::string::npos && comma > 0 && counted < kMaxPictures;
       comma = list.find(',', comma + 1)) {
    ++counted;
  }
  for (int k = 0; k < counted; ++k) names.push_back(ExtractSubString(list, k, ','));
  return names;
}

// The shared body of both pipelines. package_of is null for SMS; otherwise it builds the
// package bytes of one row.
template <typename PackageOf>
asio::awaitable<std::string> RunExcelJob(const DirectSendSetup& setup, ExcelWorkbook& workbook,
                                         const ExcelJob& job, std::string type_code,
                                         PackageOf* package_of, int64_t* sent_out,
                                         std::string* job_id_out) {
  *sent_out = 0;
  CExcelDatabase& db = *workbook.database();
  const std::string sql =
      workbook.RowQuery(job.sheet, job.phone_column, job.second, job.two_column, job.overlap);
  if (!db.CheckQuery(sql)) {
    spdlog::warn("excel send refused: the workbook's recipient query failed: {}",
                 AnsiToUtf8(db.last_error()));
    co_return ExceptionText(db.last_error());
  }
  int64_t rows = 0;
  std::string problem;
  try {
    problem = CheckRows(db, sql, job, workbook, package_of == nullptr, &rows);
  } catch (const CDBException& e) {
    problem = e.what();
  }
  if (!problem.empty()) {
    spdlog::warn("excel send refused: {}", AnsiToUtf8(problem));
    co_return ExceptionText(problem);
  }
  if (rows < job.count) {
    spdlog::info("excel send: {} rows for a count of {}; announcing {}", rows, job.count, rows);
  }

  CMMSBulkSocket socket(setup.executor);
  std::error_code ec =
      co_await OpenJob(socket, setup, job.title, std::move(type_code), rows, job.reserve_date);
  if (ec || !socket.JobAccepted()) {
    spdlog::warn("excel send: gateway job not accepted: {}", ec ? ec.message() : "refused");
    co_return std::string(kSendFailedText);
  }
  *job_id_out = socket.JobId();
  const std::string& job_id = *job_id_out;

  CRecordset rs(db);
  std::string failure;
  try {
    rs.Open(sql);
    for (int64_t i = 0; i < rows && !rs.IsEOF(); ++i) {
      const RowMessage m = ReadRow(rs, job, workbook);
      if (package_of == nullptr) {
        ec = co_await socket.SendTextMessage(m.recipient, m.callback, m.text);
      } else {
        const std::string package = (*package_of)(m.text);
        ec = co_await socket.SendFileMessage(m.recipient, m.callback, package);
      }
      rs.MoveNext();
      if (!ec && i != 0 && i % kAckInterval == 0) {
        spdlog::debug(
            "excel send: gateway job {}: waiting for the acknowledgement after {} "
            "messages",
            job_id, i + 1);
        ec = co_await socket.WaitReply(setup.timeout);
        if (!ec && !socket.AckOk()) {
          spdlog::warn("excel send: gateway job {}: negative acknowledgement after {} messages",
                       job_id, i + 1);
          co_return std::string(kSendFailedText);
        }
      }
      if (ec) {
        spdlog::warn("excel send: gateway job {} failed after {} messages: {}", job_id, i,
                     ec.message());
        co_return std::string(kSendFailedText);
      }
      ++*sent_out;
    }
    rs.Close();
  } catch (const CDBException& e) {
    failure = e.what();
  }
  if (!failure.empty()) {
    // The rows before the failure go out, as each was sent when it was read.
    (void)co_await socket.Flush();
    spdlog::error("excel send: gateway job {} ended after {} messages: workbook failed: {}", job_id,
                  *sent_out, AnsiToUtf8(failure));
    co_return ExceptionText(failure);
  }
  ec = co_await FinishJob(socket, setup.timeout);
  if (ec) {
    spdlog::warn("excel send: gateway job {} failed at the end: {}", job_id, ec.message());
    co_return std::string(kSendFailedText);
  }
  spdlog::info("excel send: gateway job {}: {} messages sent", job_id, *sent_out);
  co_return std::string();
}

}  // namespace

asio::awaitable<std::string> SendExcelSms(const DirectSendSetup& setup, ExcelWorkbook& workbook,
                                          std::string request, std::string type,
                                          std::string* report) {
  report->clear();
  const ExcelJob job = ReadJob(request, kSknDefaultSubject);
  workbook.ParseTemplate(job.text);
  int64_t sent = 0;
  std::string job_id;
  using NoPackage = std::string(std::string_view);
  std::string failure = co_await RunExcelJob<NoPackage>(setup, workbook, job, std::move(type),
                                                        nullptr, &sent, &job_id);
  if (!failure.empty()) co_return failure;
  *report = SentReport(job_id, sent, job.title, job.text, job.reserve_date, job.second);
  co_return SentText(sent);
}

asio::awaitable<std::string> SendExcelMms(const DirectSendSetup& setup, ExcelWorkbook& workbook,
                                          std::string request) {
  const ExcelJob job = ReadJob(request, kMmsDefaultTitle);
  workbook.ParseTemplate(job.text);
  const std::filesystem::path folder = std::filesystem::path(setup.module_dir) / kImageFolder;

  // The pictures are read once for the whole job; every row's package shares their bytes.
  std::vector<JobPicture> loaded;
  const std::vector<std::string> pictures = PictureNames(request);
  const SendRefusal refusal = ReadJobPictures(setup.module_dir, pictures, &loaded);
  if (refusal != SendRefusal::kNone) co_return ExceptionText(RefusalReason(refusal));

  // Every row gets a package of its own, built in memory and sent from there, so a row can
  // never go out with another row's package.
  CSKNBuilder builder;
  std::string last_package;
  auto package_of = [&](std::string_view text) {
    builder.Reset();
    builder.SetSubject(job.title);
    builder.AddItem("TXT", "", text);
    for (const JobPicture& picture : loaded) {
      builder.AddFileBytes("IMG", picture.name, picture.bytes);
    }
    last_package = builder.BuildPackage();
    return last_package;
  };
  int64_t sent = 0;
  std::string job_id;
  std::string failure = co_await RunExcelJob(setup, workbook, job, pictures.empty() ? "TXT" : "IMT",
                                             &package_of, &sent, &job_id);
  if (!last_package.empty()) {
    const std::filesystem::path file = folder / kPackageFileName;
    if (!builder.WritePackage(file)) spdlog::warn("package {} not written", file.string());
  }
  if (!failure.empty()) co_return failure;
  co_return Utf8ToAnsi("성공적으로 전송되었습니다");
}

}  // namespace parley
