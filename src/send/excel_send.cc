#include "send/excel_send.h"

#include <filesystem>
#include <string_view>

#include <spdlog/spdlog.h>

#include "send/gateway_records.h"
#include "send/job_package.h"
#include "send/send_refusals.h"
#include "send/skn_builder.h"
#include "text/cp949.h"

namespace parley {
namespace {

// Reads the rows a job will send (at most order.count) once before the gateway is contacted.
// Returns an empty text and the number of rows in *found, or the reason the job cannot be sent.
std::string CheckRows(SheetRowCursor& rows, const ExcelOrder& order, int64_t* found) {
  *found = 0;
  if (order.count < 0 || order.count > kMaxRecipientCount) {
    return Utf8ToAnsi("수신자 수가 범위를 벗어났습니다: ") + std::to_string(order.count);
  }
  if (!order.two_column && order.second.size() > kMaxNumberBytes) {
    return Utf8ToAnsi("회신번호가 너무 깁니다 (19바이트까지)");
  }
  if (!rows.Open()) return rows.error();
  SheetRow row;
  while (*found < order.count && !rows.AtEnd()) {
    if (!rows.Read(&row)) return rows.error();
    if (row.verdict == RowVerdict::kSend) {
      ++*found;
      if (order.kind == SendKind::kSms && row.text.size() > kMaxTextBytes) {
        return std::to_string(row.row) + Utf8ToAnsi("행의 메시지가 ") +
               std::to_string(row.text.size()) + Utf8ToAnsi("바이트입니다 (SMS는 99바이트까지)");
      }
    }
    if (!rows.MoveNext()) return rows.error();
  }
  rows.Close();
  if (*found == 0 && order.count > 0) return Utf8ToAnsi("보낼 수 있는 행이 없습니다");
  return std::string();
}

// The rows of a job, each placed by its index; an MMS row gets a package of its own, so a row can
// never go out with another row's package.
class RowMessages : public MessageSource {
 public:
  RowMessages(SheetRowCursor& rows, int64_t limit, std::string_view title,
              const std::vector<JobPicture>* pictures)
      : rows_(rows), limit_(limit), title_(title), pictures_(pictures) {}

  SourceStep Next(JobMessage* m) override {
    if (!opened_) {
      opened_ = true;
      if (!rows_.Open()) return SourceStep::kFailed;
    }
    if (taken_ >= limit_ || rows_.AtEnd()) {
      rows_.Close();
      return SourceStep::kEnd;
    }
    // Rows that are not to be sent are passed over; they were named before the job.
    for (;;) {
      if (!rows_.Read(&row_)) return SourceStep::kFailed;
      if (row_.verdict == RowVerdict::kSend) break;
      if (!rows_.MoveNext()) return SourceStep::kFailed;
      if (rows_.AtEnd()) {
        rows_.Close();
        return SourceStep::kEnd;
      }
    }
    m->recipient = row_.recipient;
    m->callback = row_.callback;
    m->text = row_.text;
    if (pictures_ != nullptr) {
      builder_.Reset();
      builder_.SetSubject(title_);
      builder_.AddItem("TXT", "", row_.text);
      for (const JobPicture& picture : *pictures_) {
        builder_.AddFileBytes("IMG", picture.name, picture.bytes);
      }
      package_ = builder_.BuildPackage();
      m->package = package_;
      m->own_package = true;
    }
    m->pace = taken_++;
    return SourceStep::kMessage;
  }

  bool Advance() override { return rows_.MoveNext(); }

  bool Rewind() override {
    if (opened_) rows_.Close();
    opened_ = false;
    taken_ = 0;
    return true;
  }

  std::string FailureLog() const override {
    return "workbook failed: " + AnsiToUtf8(rows_.error());
  }
  std::string FailureReason() const override { return rows_.error(); }

  // Writes the last row's package to path; false when it cannot be written. Nothing is written
  // when no package was built.
  bool WriteLastPackage(const std::filesystem::path& path) const {
    return package_.empty() || builder_.WritePackage(path);
  }

 private:
  SheetRowCursor& rows_;
  const int64_t limit_;
  std::string_view title_;
  const std::vector<JobPicture>* pictures_;
  bool opened_ = false;
  int64_t taken_ = 0;
  SheetRow row_;
  CSKNBuilder builder_;
  std::string package_;
};

}  // namespace

asio::awaitable<SendResult> SendExcel(const SendSetup& setup, SheetRowCursor& rows,
                                      ExcelOrder order) {
  const JobPolicy& policy = kExcelJob;
  SendResult refused = RefusedResult();
  JobOpening opening = NewOpening(policy, order.kind, order.title, order.reserve_date);
  // The pictures are read once for the whole job; every row's package shares their bytes.
  std::vector<JobPicture> pictures;
  if (order.kind == SendKind::kMms) {
    refused.refusal = ReadJobPictures(setup.module_dir, order.pictures, &pictures);
    if (refused.refusal != SendRefusal::kNone) co_return refused;
  }
  refused.reason = rows.CheckQuery();
  if (!refused.reason.empty()) {
    spdlog::warn("{} refused: the workbook's recipient query failed: {}", policy.name,
                 AnsiToUtf8(refused.reason));
    co_return refused;
  }
  int64_t found = 0;
  refused.reason = CheckRows(rows, order, &found);
  if (!refused.reason.empty()) {
    spdlog::warn("{} refused: {}", policy.name, AnsiToUtf8(refused.reason));
    co_return refused;
  }
  if (found < order.count) {
    spdlog::info("{}: {} rows for a count of {}; announcing {}", policy.name, found, order.count,
                 found);
  }
  opening.type_code = JobTypeCode(policy, order.kind, "", order.pictures.size());
  opening.count = found;
  RowMessages source(rows, found, opening.title,
                     order.kind == SendKind::kMms ? &pictures : nullptr);
  SendResult result = ResultOfRun(co_await RunGatewayJob(setup, policy, opening, source));
  const std::filesystem::path file =
      std::filesystem::path(setup.module_dir) / kImageFolder / kPackageFileName;
  if (!source.WriteLastPackage(file)) spdlog::warn("package {} not written", file.string());
  if (result.outcome == SendOutcome::kSent && MakesReport(policy, order.kind)) {
    result.report = SentReport(result.job_id, result.count, opening.title, order.text,
                               order.reserve_date, order.second);
    if (setup.observer != nullptr) setup.observer->ReportMade(result.report);
  }
  co_return result;
}

}  // namespace parley
