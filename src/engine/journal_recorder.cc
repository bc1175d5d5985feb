#include "engine/journal_recorder.h"

#include <ctime>

#include <spdlog/spdlog.h>

#include "journal/send_journal.h"
#include "send/gateway_job.h"

namespace parley {
namespace {

// The kind as the journal and the status reply name it.
std::string KindOf(const JobOpening& opening) {
  if (opening.kind == SendKind::kSms) return "SMS";
  return opening.type_code == "IMT" ? "MMS" : "LMS";
}

}  // namespace

std::string PackageDigest(std::string_view package) {
  // FNV-1a, 64 bits: stable across builds, and cheap beside sending the package.
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : package) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  }
  char text[19];
  std::snprintf(text, sizeof text, "h:%016llx", static_cast<unsigned long long>(hash));
  return text;
}

void JournalRecorder::Opened(const JobOpening& opening, std::string_view command) {
  job_.reset();
  sms_ = opening.kind == SendKind::kSms;
  text_known_ = false;
  text_.clear();
  queued_ = acknowledged_ = 0;
  package_data_ = nullptr;
  if (journal_ == nullptr) {
    spdlog::error("send journal: not open; the job is not sent");
    return;
  }
  JournalJobInfo info;
  info.command = std::string(command);
  info.kind = KindOf(opening);
  info.title = opening.title;
  info.reserve_date = opening.reserve_date;
  std::string error;
  job_ = journal_->BeginJob(info, opening.count, {}, std::time(nullptr), &error);
  if (!job_) spdlog::error("send journal: the job cannot be recorded ({}); it is not sent", error);
}

void JournalRecorder::JobIdGiven(std::string_view job_id) {
  if (job_) journal_->SetGatewayJobId(*job_, job_id);
}

void JournalRecorder::Queuing(std::string_view recipient, std::string_view content) {
  if (!job_) return;
  ++queued_;
  if (!sms_) {
    if (content.data() != package_data_ || content.size() != package_size_) {
      package_data_ = content.data();
      package_size_ = content.size();
      package_digest_ = PackageDigest(content);
    }
    journal_->AddRecipient(*job_, recipient, package_digest_);
    return;
  }
  if (!text_known_) {
    text_known_ = true;
    text_.assign(content);
    journal_->SetJobText(*job_, text_);
  }
  journal_->AddRecipient(*job_, recipient, content == text_ ? std::string_view() : content);
}

bool JournalRecorder::BeforeWrite() {
  if (!job_) return false;
  if (journal_->Checkpoint(*job_, acknowledged_, queued_)) return true;
  spdlog::error("send journal: the messages cannot be recorded; the job stops");
  return false;
}

void JournalRecorder::Acknowledged(int64_t count) { acknowledged_ = count; }

void JournalRecorder::Ended(JobEnd how, int64_t sent) {
  if (!job_) return;
  journal_->EndJob(*job_, EndingFromName(JobEndName(how)), sent, std::time(nullptr));
  job_.reset();
}

}  // namespace parley
