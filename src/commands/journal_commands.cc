#include "commands/journal_commands.h"

#include <fstream>

#include "engine/engine.h"
#include "journal/send_journal.h"
#include "protocol/markup.h"
#include "protocol/status_messages.h"
#include "text/cp949.h"

namespace parley {
namespace {

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

}  // namespace

std::string OnJobList(Engine& engine, const std::string& body) {
  protocol::JobListReply reply;
  SendJournal* journal = engine.services().journal();
  if (journal == nullptr) return reply.Build();
  for (const JournalJob& job : journal->ListJobs(protocol::JobListRequest::Parse(body).limit)) {
    const JobCounts counts = job.Counts();
    protocol::JobRow row;
    row.id = job.id;
    row.started = job.started;
    row.command = job.info.command;
    row.kind = job.info.kind;
    row.title = job.info.title;
    row.total = job.total;
    row.acknowledged = counts.acknowledged;
    row.in_doubt = counts.in_doubt;
    row.not_sent = counts.not_sent;
    row.ending = EndingName(job.ending);
    row.report = !job.report_made ? "none" : job.report_posted ? "posted" : "pending";
    row.resend_of = job.info.resend_of;
    reply.jobs.push_back(std::move(row));
  }
  return reply.Build();
}

std::string OnJobExport(Engine& engine, const std::string& body) {
  const protocol::JobExportRequest request = protocol::JobExportRequest::Parse(body);
  SendJournal* journal = engine.services().journal();
  if (journal == nullptr) return Refusal(engine.services().journal_error());
  const std::optional<JournalJob> job = journal->FindJob(request.job);
  if (!job) return Refusal("no job " + std::to_string(request.job) + " in the send journal");
  const std::string path = AnsiToUtf8(request.path);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return Refusal("cannot write " + path);
  out << "place,number,state,content\r\n";
  int64_t written = 0;
  const std::string& text = job->info.text;
  journal->ForEachRecipient(
      job->id, [&](int64_t index, const JournalRecipient& r, RecipientState state) {
        const std::string& content = r.content.empty() ? text : r.content;
        out << index + 1 << ',' << CsvField(AnsiToUtf8(r.number)) << ',' << StateName(state) << ','
            << CsvField(AnsiToUtf8(content)) << "\r\n";
        ++written;
      });
  out.close();
  if (!out) return Refusal("cannot write " + path);
  return std::to_string(written);
}

}  // namespace parley
