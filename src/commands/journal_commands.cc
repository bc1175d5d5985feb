#include "commands/journal_commands.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>

#include <spdlog/spdlog.h>

#include "commands/dsend_command.h"
#include "commands/send_answer.h"
#include "commands/send_rules.h"
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

// A CSV field, always quoted. A field that starts with a character a spreadsheet program would
// read as a formula (=, +, -, @, a tab or a carriage return) starts with a ' instead: its text is
// shown, never run.
std::string CsvField(std::string_view text) {
  std::string out = "\"";
  if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) {
    out += '\'';
  }
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string ErrnoText(int error) { return std::strerror(error); }

// An export is written into a folder of the engine's own beside its file, then moved to the
// file's name: nothing already at that name is opened or written through (a link, a pipe, a
// device, another file), and a file is replaced only when the user asked, and only a regular one.
class ExportStage {
 public:
  ExportStage() = default;
  ~ExportStage() {
    if (dir_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  ExportStage(const ExportStage&) = delete;
  ExportStage& operator=(const ExportStage&) = delete;

  // Checks what is at target and makes the folder; false with *error (UTF-8).
  bool Make(const std::filesystem::path& target, bool replace, std::string* error) {
    if (!Free(target, replace, error)) return false;
    const std::filesystem::path parent =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string pattern = (parent / ".parley-export-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      *error = "cannot write " + target.string() + ": " + ErrnoText(errno);
      return false;
    }
    dir_ = pattern;
    return true;
  }

  // The staged file's path.
  std::filesystem::path file() const { return dir_ / "export"; }

  // Moves the staged file to target: never over anything there, unless replace and then only
  // over a regular file (a link there is replaced itself, never followed).
  bool Publish(const std::filesystem::path& target, bool replace, std::string* error) {
    if (replace) {
      if (!Free(target, replace, error)) return false;
      if (::rename(file().c_str(), target.c_str()) == 0) return true;
    } else {
      if (::renameat2(AT_FDCWD, file().c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
      }
      // A file system without it: a hard link never replaces either.
      if ((errno == EINVAL || errno == ENOSYS) && ::link(file().c_str(), target.c_str()) == 0) {
        return true;
      }
      // Something came to the name meanwhile.
      if (errno == EEXIST && !Free(target, replace, error)) return false;
    }
    *error = "cannot write " + target.string() + ": " + ErrnoText(errno);
    return false;
  }

 private:
  // True when target may be written: nothing is there, or replace and a regular file is.
  static bool Free(const std::filesystem::path& target, bool replace, std::string* error) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) {
      if (errno == ENOENT) return true;
      *error = "cannot write " + target.string() + ": " + ErrnoText(errno);
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      *error = target.string() + " is not a regular file (a link, a folder, a pipe or a device)";
      *error += "; nothing was written";
      return false;
    }
    if (replace) return true;
    *error = target.string() + " exists; choose a new name, or ask to replace it";
    return false;
  }

  std::filesystem::path dir_;
};

// Writes bytes to a new file at path, in large writes; never a file that is there already, and
// never through a link.
class NewFileWriter {
 public:
  explicit NewFileWriter(const std::filesystem::path& path)
      : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                   0666)),
        error_(fd_ < 0 ? errno : 0) {}
  ~NewFileWriter() {
    if (fd_ >= 0) ::close(fd_);
  }
  NewFileWriter(const NewFileWriter&) = delete;
  NewFileWriter& operator=(const NewFileWriter&) = delete;

  NewFileWriter& operator<<(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kFlushBytes) Flush();
    return *this;
  }
  // Writes what is held and closes the file; 0, or the error (errno) of the first failure.
  int Close() {
    Flush();
    if (fd_ >= 0 && ::close(fd_) != 0 && error_ == 0) error_ = errno;
    fd_ = -1;
    return error_;
  }

 private:
  static constexpr size_t kFlushBytes = 1 << 20;
  void Flush() {
    for (size_t done = 0; error_ == 0 && done < buffer_.size();) {
      const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = n < 0 ? errno : EIO;
        break;
      }
      done += static_cast<size_t>(n);
    }
    buffer_.clear();
  }

  int fd_;
  int error_;
  std::string buffer_;
};

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
                     const SendingRules& rules, RestOrder* order,
                     std::vector<JournalLeftOut>* left_out) {
  const SendMarks marks{job.info.advert, job.info.night_consent};
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
    if (LeavesOut(rules, marks, number.digits)) {
      left_out->push_back({static_cast<int64_t>(left_out->size()) + 1, std::move(number.digits),
                           std::string(kOptedOutReason)});
      continue;
    }
    order->messages.push_back({std::move(number.digits), std::move(r.content)});
  }
  return SendRefusal::kNone;
}

// Why the rest of job may not be sent now under the sending rules (CP949), or empty: the job's
// marks as recorded, the time, the callback and, for an advertising SMS, every text (a package's
// text was checked when the job was first sent).
std::string RestFault(Engine& engine, const JournalJob& job, const SendingRules& rules,
                      const RestOrder& order) {
  const SendMarks marks{job.info.advert, job.info.night_consent};
  std::string fault =
      SendFault(rules, marks, RulesNow(engine), nullptr, order.reserve_date, order.callback);
  if (!fault.empty() || !marks.advert || order.kind != SendKind::kSms) return fault;
  fault = AdTextFault(rules, order.text);
  for (size_t i = 0; fault.empty() && i < order.messages.size(); ++i) {
    if (!order.messages[i].content.empty()) fault = AdTextFault(rules, order.messages[i].content);
  }
  return fault;
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

asio::awaitable<std::string> OnJobExport(Engine& engine, CommandBody body) {
  // The path as the UI program named it: its bytes as sent.
  const protocol::JobExportRequest request = protocol::JobExportRequest::Parse(body.sent);
  SendJournal* journal = engine.services().journal();
  if (journal == nullptr) co_return Refusal(engine.services().journal_error());
  const std::optional<JournalJob> job = journal->FindJob(request.job);
  if (!job) co_return NoJob(request.job);
  if (request.format != "csv" && request.format != "xlsx") {
    co_return Refusal("unknown format " + request.format + " (csv or xlsx)");
  }
  if (request.path.empty())
    co_return Refusal("no file named to export job " + std::to_string(job->id) + " to");
  const std::filesystem::path path(request.path);
  std::string error;
  ExportStage stage;
  if (!stage.Make(path, request.replace, &error)) co_return Refusal(error);
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
    if (!WriteXlsx(stage.file(), {sheet}, XlsxOptions{}, &error)) {
      co_return Refusal("cannot write " + request.path + ": " + error);
    }
  } else {
    NewFileWriter out(stage.file());
    out << "\"place\",\"number\",\"state\",\"content\"\r\n";
    journal->ForEachRecipient(
        job->id, [&](int64_t index, const JournalRecipient& r, RecipientState state) {
          const std::string& content = r.content.empty() ? text : r.content;
          out << CsvField(std::to_string(index + 1)) << "," << CsvField(AnsiToUtf8(r.number)) << ","
              << CsvField(StateName(state)) << "," << CsvField(AnsiToUtf8(content)) << "\r\n";
          ++written;
        });
    for (const JournalLeftOut& row : journal->LeftOut(job->id)) {
      out << CsvField(LeftOutPlace(row)) << "," << CsvField(AnsiToUtf8(row.value)) << ","
          << CsvField(kLeftOutState) << "," << CsvField(row.reason) << "\r\n";
      ++written;
    }
    if (const int failed = out.Close(); failed != 0) {
      co_return Refusal("cannot write " + request.path + ": " + ErrnoText(failed));
    }
  }
  if (!stage.Publish(path, request.replace, &error)) co_return Refusal(error);
  co_return std::to_string(written);
}

std::string OnJobForget(Engine& engine, const std::string& body) {
  SendJournal* journal = engine.services().journal();
  if (journal == nullptr) return Refusal(engine.services().journal_error());
  const SendJournal::Forgotten forgotten =
      journal->Forget(protocol::JobForgetRequest::Parse(body).before);
  if (forgotten.kept_for_report > 0) {
    spdlog::info("JOBFG: {} jobs kept until their sent reports reach the web service",
                 forgotten.kept_for_report);
  }
  return protocol::JobForgetReply{forgotten.forgotten, forgotten.kept_for_report}.Build();
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
  const SendingRules rules = LoadSendingRules(engine);
  const SendRefusal refusal =
      TakeRest(*journal, *job, request.include_in_doubt, rules, &order, &left_out);
  if (refusal != SendRefusal::kNone) co_return protocol::ExceptionText(RefusalReason(refusal));
  if (order.messages.empty()) {
    co_return protocol::ExceptionText(RefusalReason(SendRefusal::kNothingLeft));
  }
  if (const std::string fault = RestFault(engine, *job, rules, order); !fault.empty()) {
    spdlog::warn("JOBRS refused by the sending rules: {}", AnsiToUtf8(fault));
    co_return protocol::ExceptionText(fault);
  }
  const size_t opted_out = static_cast<size_t>(
      std::count_if(left_out.begin(), left_out.end(),
                    [](const JournalLeftOut& row) { return row.reason == kOptedOutReason; }));
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
  JobSource source{"rest of job " + std::to_string(job->id), job->id, std::move(left_out),
                   job->info.advert, job->info.night_consent};
  const SendSetup setup = engine.services().MakeSendSetup(engine.session(), std::move(source));
  const SendResult sent = co_await engine.link().dispatcher().turn().Aside(SendRest(setup, order));
  const std::string text =
      WithOptedOutLine(SendAnswer(sent, kRestJob, order.kind), sent, opted_out);
  if (!sent.report.empty()) co_await PostSentReports(engine, sent.report);
  co_return protocol::JobResendReply{EngineServices::JournaledJob(setup).value_or(0), text}.Build();
}

}  // namespace parley
