#include "commands/journal_commands.h"

#include <ctime>
#include <fstream>
#include <set>

#include <spdlog/spdlog.h>

#include "commands/send_answer.h"
#include "commands/sent_reports.h"
#include "engine/engine.h"
#include "excel/workbook_writer.h"
#include "journal/send_journal.h"
#include "numbers/korean_number.h"
#include "protocol/markup.h"
#include "protocol/status_messages.h"
#include "send/rest_send.h"
#include "text/cp949.h"

namespace parley {

namespace {

// The number older engines sent to (and journaled, as written here) for a sheet cell they could
// not use.
constexpr std::string_view kSubstituteNumber = "010-0000-0000";

// A CSV field: quoted when it holds a comma, a quote or a line break.
std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string Refusal(std::string_view reason) { return protocol::ExceptionText(Utf8ToAnsi(reason)); }

std::string NoJob(int64_t job) {
  return Refusal("no job " + std::to_string(job) + " in the send journal");
}

protocol::JobRow RowOf(SendJournal& journal, const JournalJob& job) {
  const JobCounts counts = job.Counts();
  protocol::JobRow row;
  row.id = job.id;
  row.started = job.started;
  row.ended = job.ended;
  row.command = job.info.command;
  row.kind = job.info.kind;
  row.title = job.info.title;
  row.source = job.info.source;
  row.callback = job.info.callback;
  row.reserve_date = job.info.reserve_date;
  row.text = job.info.text;
  row.gateway_job_id = job.gateway_job_id;
  row.total = job.total;
  row.acknowledged = counts.acknowledged;
  row.in_doubt = counts.in_doubt;
  row.not_sent = counts.not_sent;
  row.ending = EndingName(job.ending);
  row.ending_at = job.ending_at;
  row.report = ReportStateName(job.report);
  row.resend_of = job.info.resend_of;
  row.left_out = job.left_out;
  if (const std::optional<JournalJob> later = journal.FindResendOf(job.id)) {
    row.resent_as = later->id;
  }
  return row;
}

// The state of a row left out before the gateway, in an export.
constexpr std::string_view kLeftOutState = "left out";

// Where a left-out row was: "row N" of its sheet.
std::string LeftOutPlace(const JournalLeftOut& row) { return "row " + std::to_string(row.place); }

// The callback (normalised) and the recipients of job's rest into *order; a recipient that is no
// mobile number (a substitute an older engine sent for a sheet cell it could not use) is never
// sent again: it goes to *left_out. A plain function: the resend coroutine calls it.
SendRefusal TakeRest(SendJournal& journal, const JournalJob& job, bool include_in_doubt,
                     RestOrder* order, std::vector<JournalLeftOut>* left_out) {
  if (const SendRefusal refusal = NormalizeCallback(&order->callback);
      refusal != SendRefusal::kNone) {
    return refusal;
  }
  for (JournalRecipient& r : journal.RestOf(job, include_in_doubt)) {
    CheckedNumber number = CheckKoreanNumber(r.number, NumberUse::kRecipient);
    if (!number.ok() || r.number == kSubstituteNumber) {
      const NumberProblem problem = number.ok() ? NumberProblem::kNotMobile : number.problem;
      left_out->push_back({static_cast<int64_t>(left_out->size()) + 1, r.number,
                           "phone " + std::string(ProblemToken(problem))});
      continue;
    }
    order->messages.push_back({std::move(number.digits), std::move(r.content)});
  }
  return SendRefusal::kNone;
}

// A reservation still ahead keeps its time; one passed sends now (12 digits, local time).
std::string ReservationLeft(const std::string& reserve_date) {
  if (reserve_date.size() != 12) return {};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[13];
  std::strftime(text, sizeof text, "%Y%m%d%H%M", &local);
  return reserve_date > text ? reserve_date : std::string();
}

}  // namespace

std::string OnJobList(Engine& engine, const std::string& body) {
  protocol::JobListReply reply;
  SendJournal* journal = engine.services().journal();
  if (journal == nullptr) return reply.Build();
  for (const JournalJob& job : journal->ListJobs(protocol::JobListRequest::Parse(body).limit)) {
    reply.jobs.push_back(RowOf(*journal, job));
  }
  return reply.Build();
}

std::string OnJobShow(Engine& engine, const std::string& body) {
  const int64_t id = protocol::JobRequest::Parse(body).job;
  SendJournal* journal = engine.services().journal();
  if (journal == nullptr) return Refusal(engine.services().journal_error());
  const std::optional<JournalJob> job = journal->FindJob(id);
  if (!job) return NoJob(id);
  return protocol::JobListReply{{RowOf(*journal, *job)}}.Build();
}

std::string OnJobExport(Engine& engine, const std::string& body) {
  const protocol::JobExportRequest request = protocol::JobExportRequest::Parse(body);
  SendJournal* journal = engine.services().journal();
  if (journal == nullptr) return Refusal(engine.services().journal_error());
  const std::optional<JournalJob> job = journal->FindJob(request.job);
  if (!job) return NoJob(request.job);
  if (request.format != "csv" && request.format != "xlsx") {
    return Refusal("unknown format " + AnsiToUtf8(request.format) + " (csv or xlsx)");
  }
  const std::string path = AnsiToUtf8(request.path);
  const std::string& text = job->info.text;
  int64_t written = 0;
  if (request.format == "xlsx") {
    SheetData sheet;
    sheet.name = "Job " + std::to_string(job->id);
    sheet.rows.push_back({std::string("place"), std::string("number"), std::string("state"),
                          std::string("content")});
    journal->ForEachRecipient(
        job->id, [&](int64_t index, const JournalRecipient& r, RecipientState state) {
          const std::string& content = r.content.empty() ? text : r.content;
          sheet.rows.push_back({static_cast<double>(index + 1), AnsiToUtf8(r.number),
                                std::string(StateName(state)), AnsiToUtf8(content)});
          ++written;
        });
    for (const JournalLeftOut& row : journal->LeftOut(job->id)) {
      sheet.rows.push_back(
          {LeftOutPlace(row), AnsiToUtf8(row.value), std::string(kLeftOutState), row.reason});
      ++written;
    }
    std::string error;
    if (!WriteXlsx(path, {sheet}, XlsxOptions{}, &error)) {
      return Refusal("cannot write " + path + ": " + error);
    }
    return std::to_string(written);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return Refusal("cannot write " + path);
  out << "place,number,state,content\r\n";
  journal->ForEachRecipient(
      job->id, [&](int64_t index, const JournalRecipient& r, RecipientState state) {
        const std::string& content = r.content.empty() ? text : r.content;
        out << index + 1 << ',' << CsvField(AnsiToUtf8(r.number)) << ',' << StateName(state) << ','
            << CsvField(AnsiToUtf8(content)) << "\r\n";
        ++written;
      });
  for (const JournalLeftOut& row : journal->LeftOut(job->id)) {
    out << LeftOutPlace(row) << ',' << CsvField(AnsiToUtf8(row.value)) << ',' << kLeftOutState
        << ',' << CsvField(row.reason) << "\r\n";
    ++written;
  }
  out.close();
  if (!out) return Refusal("cannot write " + path);
  return std::to_string(written);
}

std::string OnJobForget(Engine& engine, const std::string& body) {
  SendJournal* journal = engine.services().journal();
  if (journal == nullptr) return Refusal(engine.services().journal_error());
  return std::to_string(journal->Forget(protocol::JobForgetRequest::Parse(body).before));
}

asio::awaitable<std::string> OnJobResend(Engine& engine, std::string body) {
  const protocol::JobResendRequest request = protocol::JobResendRequest::Parse(body);
  SendJournal* journal = engine.services().journal();
  if (journal == nullptr) co_return Refusal(engine.services().journal_error());
  if (!engine.session().logged_in()) co_return Refusal("not logged in");
  const std::optional<JournalJob> job = journal->FindJob(request.job);
  if (!job) co_return NoJob(request.job);
  if (job->ending == JobEnding::kRunning) {
    co_return Refusal("job " + std::to_string(job->id) + " is still running");
  }
  // The rest of a job is sent once: a second resend would send again what the first reached.
  if (const std::optional<JournalJob> later = journal->FindResendOf(job->id)) {
    co_return Refusal("the rest of job " + std::to_string(job->id) + " was sent as job " +
                      std::to_string(later->id) + "; send the rest of that job");
  }
  RestOrder order;
  order.kind = job->info.kind == "SMS" ? SendKind::kSms : SendKind::kMms;
  order.type_code = job->info.kind == "SMS" ? "SMS" : job->info.kind == "MMS" ? "IMT" : "TXT";
  order.title = job->info.title;
  order.reserve_date = ReservationLeft(job->info.reserve_date);
  order.callback = job->info.callback;
  order.text = job->info.text;
  std::vector<JournalLeftOut> left_out;
  const SendRefusal refusal = TakeRest(*journal, *job, request.include_in_doubt, &order, &left_out);
  if (refusal != SendRefusal::kNone) co_return protocol::ExceptionText(RefusalReason(refusal));
  if (order.messages.empty()) {
    co_return protocol::ExceptionText(RefusalReason(SendRefusal::kNothingLeft));
  }
  if (order.kind == SendKind::kMms) {
    std::set<std::string> digests;
    for (const RestMessage& m : order.messages) digests.insert(m.content);
    for (const std::string& digest : digests) {
      std::optional<std::string> package = journal->Package(job->id, digest);
      if (!package) co_return protocol::ExceptionText(RefusalReason(SendRefusal::kNotKept));
      order.packages.emplace(digest, std::move(*package));
    }
  }
  const std::string count = std::to_string(order.messages.size());
  const std::string_view kind_code = job->info.kind == "SMS"   ? "1"
                                     : job->info.kind == "LMS" ? "2"
                                                               : "3";
  const SendCheckAnswer check =
      co_await engine.services().web().CheckSendable(kind_code, count, order.reserve_date);
  if (!check.allowed) {
    std::string_view reason = check.text;
    if (const size_t sep = reason.find(protocol::kFieldSep); sep != std::string_view::npos) {
      reason.remove_prefix(sep + protocol::kFieldSep.size());
    }
    co_return protocol::ExceptionText(std::string(reason));
  }
  spdlog::info("JOBRS: sending the rest of journal job {}: {} recipients", job->id, count);
  JobSource source{"rest of job " + std::to_string(job->id), job->id, std::move(left_out)};
  const SendSetup setup = engine.services().MakeSendSetup(engine.session(), std::move(source));
  const SendResult sent = co_await engine.link().dispatcher().turn().Aside(SendRest(setup, order));
  const std::string text = SendAnswer(sent, kRestJob, order.kind);
  if (!sent.report.empty()) co_await PostSentReports(engine, sent.report);
  co_return protocol::JobResendReply{EngineServices::JournaledJob(setup).value_or(0), text}.Build();
}

}  // namespace parley
