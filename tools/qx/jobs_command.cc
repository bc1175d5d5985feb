#include "qx/jobs_command.h"

#include <ctime>
#include <filesystem>
#include <iostream>
#include <ostream>

#include "client/engine_refusal.h"
#include "protocol/markup.h"
#include "protocol/status_messages.h"
#include "qx/exit_codes.h"
#include "qx/interrupt.h"
#include "qx/reply_text.h"
#include "qx/send_progress.h"
#include "qx/terminal.h"
#include "qx/text_table.h"
#include "text/cp949.h"

namespace parley {
namespace {

// "2026-12-11 09:30", local time; "-" for 0.
std::string When(int64_t seconds) {
  if (seconds == 0) return "-";
  const auto t = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return text;
}

// A reservation's 12 digits as "2026-12-11 09:30"; "-" for none.
std::string ReservedFor(const std::string& digits) {
  if (digits.size() != 12) return digits.empty() ? "-" : digits;
  return digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2) + " " +
         digits.substr(8, 2) + ":" + digits.substr(10, 2);
}

// Asks code with body; false (reported) when the engine cannot be reached or refuses.
bool AskJournal(LinkSession& session, Language language, std::string_view code,
                const std::string& body, std::string* reply, int* status, std::ostream& err) {
  if (!session.Ask(code, body, reply)) {
    *status = kExitNoEngine;
    return false;
  }
  if (protocol::IsExceptionText(*reply)) {
    err << "qx jobs: " << Word(language, EngineRefusalVerdict(*reply)) << "\n";
    *status = kExitRefused;
    return false;
  }
  return true;
}

// The one job of a JOBSH reply.
bool ShowJob(LinkSession& session, Language language, int64_t id, protocol::JobRow* row,
             int* status, std::ostream& err) {
  std::string reply;
  if (!AskJournal(session, language, "JOBSH", protocol::JobRequest{id}.Build(), &reply, status,
                  err)) {
    return false;
  }
  const auto list = protocol::JobListReply::Parse(reply);
  if (!list || list->jobs.size() != 1) {
    err << "qx jobs: the engine does not answer JOBSH (an older engine?)\n";
    *status = kExitRefused;
    return false;
  }
  *row = list->jobs[0];
  return true;
}

int List(const JobsOptions& o, LinkSession& session, std::ostream& out, std::ostream& err) {
  std::string reply;
  int status = kExitOk;
  if (!AskJournal(session, o.language, "JOBLS", protocol::JobListRequest{o.limit}.Build(), &reply,
                  &status, err)) {
    return status;
  }
  const auto list = protocol::JobListReply::Parse(reply);
  if (!list) {
    err << "qx jobs: the engine does not answer JOBLS (an older engine?)\n";
    return kExitRefused;
  }
  TextTable table(Headings(o.language, Msg::kJobsHeadings), Text(o.language, Msg::kTableEmpty));
  for (const protocol::JobRow& j : list->jobs) {
    table.AddRow({std::to_string(j.id), When(j.started), j.kind, Ellipsize(ScreenText(j.title), 20),
                  Ellipsize(ScreenText(j.source), 28), std::to_string(j.total),
                  std::to_string(j.acknowledged), std::to_string(j.in_doubt),
                  std::to_string(j.not_sent), j.ending, j.report});
  }
  table.Print(out);
  return kExitOk;
}

int Show(const JobsOptions& o, LinkSession& session, std::ostream& out, std::ostream& err) {
  protocol::JobRow j;
  int status = kExitOk;
  if (!ShowJob(session, o.language, o.job, &j, &status, err)) return status;
  const Language l = o.language;
  out << Text(l, Msg::kJobTitleLine, {std::to_string(j.id), j.command, j.kind, ScreenText(j.title)})
      << "\n";
  if (j.resend_of != 0) out << Text(l, Msg::kJobResendOf, {std::to_string(j.resend_of)}) << "\n";
  out << Text(l, Msg::kJobSource, {ScreenText(j.source)}) << "\n";
  out << Text(l, Msg::kJobTimes, {When(j.started), When(j.ended), ReservedFor(j.reserve_date)})
      << "\n";
  out << Text(l, Msg::kJobCallback,
              {ScreenText(j.callback), j.gateway_job_id.empty() ? "-" : j.gateway_job_id})
      << "\n";
  if (!j.text.empty()) out << Text(l, Msg::kJobText, {ScreenText(j.text)}) << "\n";
  out << Text(l, Msg::kJobCounts,
              {std::to_string(j.total), std::to_string(j.acknowledged), std::to_string(j.in_doubt),
               std::to_string(j.not_sent)})
      << "\n";
  out << Text(l, Msg::kJobEnding, {j.ending, std::to_string(j.ending_at), j.report}) << "\n";
  if (j.resent_as != 0) {
    out << Text(l, Msg::kJobResentAs, {std::to_string(j.resent_as)}) << "\n";
  } else if (j.ending != "running" && j.not_sent + j.in_doubt > 0) {
    out << Text(l, Msg::kJobResendHint,
                {std::to_string(j.id), std::to_string(j.not_sent), std::to_string(j.in_doubt)})
        << "\n";
  }
  return kExitOk;
}

int Resend(const JobsOptions& o, LinkSession& session, std::ostream& out, std::ostream& err) {
  protocol::JobRow j;
  int status = kExitOk;
  if (!ShowJob(session, o.language, o.job, &j, &status, err)) return status;
  const Language l = o.language;
  const int64_t count = j.not_sent + (o.include_in_doubt ? j.in_doubt : 0);
  // Refused here in the user's words before anything is announced; the engine refuses the same.
  if (j.resent_as != 0) {
    err << "qx jobs: "
        << Text(l, Msg::kJobAlreadyResent, {std::to_string(j.id), std::to_string(j.resent_as)})
        << "\n";
    return kExitRefused;
  }
  if (count == 0) {
    err << "qx jobs: "
        << Text(l, j.in_doubt > 0 ? Msg::kJobOnlyInDoubt : Msg::kJobNothingLeft,
                {std::to_string(j.id), std::to_string(j.in_doubt)})
        << "\n";
    return kExitRefused;
  }
  out << Text(l, Msg::kJobResendPlan,
              {std::to_string(count), std::to_string(j.id), std::to_string(j.not_sent),
               std::to_string(o.include_in_doubt ? j.in_doubt : 0)})
      << "\n";
  if (!o.include_in_doubt && j.in_doubt > 0) {
    out << Text(l, Msg::kJobInDoubtLeft, {std::to_string(j.in_doubt)}) << "\n";
  }
  if (o.confirm && !AnswerIsYes(Text(l, Msg::kConfirmSend), std::cin, err)) {
    err << "qx jobs: " << Text(l, Msg::kCancelled) << "\n";
    return kExitRefused;
  }
  SendWatch watch;
  watch.progress = ShowProgress(o.progress, ::isatty(1) == 1);
  watch.language = l;
  SendWait wait;
  std::string reply;
  {
    InterruptWatch interrupts(kExitCancelled);
    watch.cancel_requested = [&interrupts] { return interrupts.requested(); };
    const std::string label = "sending the rest of job " + std::to_string(j.id) + "...";
    if (!session.AskSend("JOBRS", protocol::JobResendRequest{j.id, o.include_in_doubt}.Build(),
                         &reply, label, watch, &wait)) {
      return kExitNoEngine;
    }
  }
  if (protocol::IsExceptionText(reply)) {
    err << "qx jobs: " << Word(o.language, EngineRefusalVerdict(reply)) << "\n";
    return kExitRefused;
  }
  const auto answer = protocol::JobResendReply::Parse(reply);
  if (!answer) {
    err << "qx jobs: the engine does not answer JOBRS (an older engine?)\n";
    return kExitRefused;
  }
  out << AnsiToUtf8(answer->text) << "\n";
  protocol::JobRow resent;
  if (answer->job == 0 || !ShowJob(session, o.language, answer->job, &resent, &status, err)) {
    return kExitRefused;
  }
  out << Text(l, Msg::kJobCounts,
              {std::to_string(resent.total), std::to_string(resent.acknowledged),
               std::to_string(resent.in_doubt), std::to_string(resent.not_sent)})
      << " (" << Text(l, Msg::kJobNewJob, {std::to_string(resent.id)}) << ")\n";
  if (wait.cancel_sent) return kExitCancelled;
  return resent.ending == "done" ? kExitOk : kExitRefused;
}

int Export(const JobsOptions& o, LinkSession& session, std::ostream& out, std::ostream& err) {
  if (o.csv.empty() == o.xlsx.empty()) {
    err << "qx jobs export: " << Text(o.language, Msg::kJobsExportUsage) << "\n";
    return kExitUsage;
  }
  // The engine writes the file: it gets an absolute path, whatever its own folder.
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(o.csv.empty() ? o.xlsx : o.csv, ec);
  // The path goes as it is (UTF-8): the engine takes it from the bytes sent, so a name CP949
  // cannot hold keeps its name.
  protocol::JobExportRequest request{o.job, file.string(), o.csv.empty() ? "xlsx" : "csv", o.force};
  std::string reply;
  int status = kExitOk;
  if (!AskJournal(session, o.language, "JOBEX", request.Build(), &reply, &status, err))
    return status;
  out << Text(o.language, Msg::kJobExported, {reply, file.string()}) << "\n";
  return kExitOk;
}

int Forget(const JobsOptions& o, LinkSession& session, std::ostream& out, std::ostream& err) {
  int64_t before = 0;
  if (!LocalDayStart(o.before, &before)) {
    err << "qx jobs forget: " << Text(o.language, Msg::kJobsForgetDate, {o.before}) << "\n";
    return kExitUsage;
  }
  if (o.confirm &&
      !AnswerIsYes(Text(o.language, Msg::kJobForgetConfirm, {o.before}), std::cin, err)) {
    err << "qx jobs: " << Text(o.language, Msg::kJobForgetKept) << "\n";
    return kExitRefused;
  }
  std::string reply;
  int status = kExitOk;
  if (!AskJournal(session, o.language, "JOBFG", protocol::JobForgetRequest{before}.Build(), &reply,
                  &status, err)) {
    return status;
  }
  const std::optional<protocol::JobForgetReply> forgotten = protocol::JobForgetReply::Parse(reply);
  if (!forgotten) {
    err << "qx jobs: the engine does not answer JOBFG (an older engine?)\n";
    return kExitRefused;
  }
  out << Text(o.language, Msg::kJobsForgotten, {std::to_string(forgotten->forgotten), o.before})
      << "\n";
  if (forgotten->kept_for_report > 0) {
    const std::string kept = std::to_string(forgotten->kept_for_report);
    out << (o.language == Language::kKorean
                ? kept +
                      "건은 발송 보고가 아직 웹 서비스에 전달되지 않아 남겨 두었습니다 "
                      "(전달되면 지울 수 있습니다)"
                : kept +
                      " jobs kept: their sent reports have not reached the web service yet "
                      "(they can be forgotten once they have)")
        << "\n";
  }
  return kExitOk;
}

}  // namespace

bool LocalDayStart(std::string_view date, int64_t* seconds) {
  if (date.size() != 10 || date[4] != '-' || date[7] != '-') return false;
  std::tm day{};
  int fields[3] = {};
  const std::string_view parts[3] = {date.substr(0, 4), date.substr(5, 2), date.substr(8, 2)};
  for (int i = 0; i < 3; ++i) {
    for (const char c : parts[i]) {
      if (c < '0' || c > '9') return false;
      fields[i] = fields[i] * 10 + (c - '0');
    }
  }
  day.tm_year = fields[0] - 1900;
  day.tm_mon = fields[1] - 1;
  day.tm_mday = fields[2];
  day.tm_isdst = -1;
  std::tm normal = day;
  const std::time_t t = std::mktime(&normal);
  // mktime carries 2026-02-30 over to March: such a date is none.
  if (t == -1 || normal.tm_mday != fields[2] || normal.tm_mon != fields[1] - 1) return false;
  *seconds = t;
  return true;
}

int RunJobsCommand(const JobsOptions& options, const LinkTarget& target, std::ostream& out,
                   std::ostream& err) {
  LinkSession session(target, err);
  if (!session.Open()) return kExitNoEngine;
  if (options.action == "show") return Show(options, session, out, err);
  if (options.action == "resend") return Resend(options, session, out, err);
  if (options.action == "export") return Export(options, session, out, err);
  if (options.action == "forget") return Forget(options, session, out, err);
  return List(options, session, out, err);
}

}  // namespace parley
