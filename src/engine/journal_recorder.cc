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
  listed_ = queued_ = acknowledged_ = 0;
  package_data_ = nullptr;
  kept_bytes_ = 0;
  if (journal_ == nullptr) {
    spdlog::error("send journal: not open; the job is not sent");
    return;
  }
  JournalJobInfo info;
  info.command = std::string(command);
  info.kind = KindOf(opening);
  info.title = opening.title;
  info.reserve_date = opening.reserve_date;
  info.source = source_.description;
  info.resend_of = source_.resend_of;
  info.advert = source_.advert;
  info.night_consent = source_.night_consent;
  std::string error;
  job_ = journal_->BeginJob(info, opening.count, {}, std::time(nullptr), &error);
  if (!job_) spdlog::error("send journal: the job cannot be recorded ({}); it is not sent", error);
  if (job_ && !journal_->RecordLeftOut(*job_, source_.left_out)) {
    spdlog::error("send journal: the rows left out cannot be recorded; the job is not sent");
    journal_->EndJob(*job_, JobEnding::kFailed, 0, std::time(nullptr));
    job_.reset();
  }
  last_job_ = job_;
}

void JournalRecorder::Listed(std::string_view recipient, std::string_view callback,
                             std::string_view content, bool own_content) {
  if (!job_) return;
  if (!sms_) {
    if (own_content || content.data() != package_data_ || content.size() != package_size_) {
      package_data_ = content.data();
      package_size_ = content.size();
      const std::string digest = PackageDigest(content);
      if (digest != package_digest_ &&
          (kept_bytes_ == 0 || kept_bytes_ + content.size() <= kKeptPackageBytes)) {
        kept_bytes_ += content.size();
        journal_->KeepPackage(*job_, digest, content);
      }
      package_digest_ = digest;
    }
    if (!text_known_) {
      text_known_ = true;
      journal_->SetJobText(*job_, {}, callback);
    }
    journal_->AddRecipient(*job_, recipient, package_digest_);
  } else {
    if (!text_known_) {
      text_known_ = true;
      text_.assign(content);
      journal_->SetJobText(*job_, text_, callback);
    }
    journal_->AddRecipient(*job_, recipient, content == text_ ? std::string_view() : content);
  }
  // A long list goes to the tape as it is taken, not held whole in memory.
  if (++listed_ % kListedPerWrite == 0 && !journal_->Checkpoint(*job_, 0, 0)) {
    spdlog::error("send journal: the recipients cannot be recorded; the job is not sent");
    journal_->EndJob(*job_, JobEnding::kFailed, 0, std::time(nullptr));
    job_.reset();
  }
}

void JournalRecorder::ListEnded(int64_t count) {
  if (job_) journal_->SetTotal(*job_, count);
}

void JournalRecorder::JobIdGiven(std::string_view job_id) {
  if (job_) journal_->SetGatewayJobId(*job_, job_id);
}

void JournalRecorder::Queuing(std::string_view, std::string_view) {
  if (job_) ++queued_;
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
  // The last acknowledgement came after the last write (a job stopped at a boundary).
  journal_->Checkpoint(*job_, acknowledged_, queued_);
  journal_->EndJob(*job_, EndingFromName(JobEndName(how)), sent, std::time(nullptr));
  job_.reset();
}

void JournalRecorder::ReportMade(std::string_view report) {
  if (last_job_ && !journal_->SaveReport(*last_job_, report)) {
    spdlog::error("send journal: the sent report of job {} cannot be kept", *last_job_);
  }
}

}  // namespace parley
