#include "engine/job_progress.h"

#include "send/gateway_job.h"

namespace parley {

std::string_view JobProgress::state() const {
  if (job_number_ == 0) return {};
  return running_ ? "running" : JobEndName(end_);
}

bool JobProgress::RequestCancel() {
  if (!running_) return false;
  cancel_requested_ = true;
  return true;
}

void JobProgress::Opened(const JobOpening& opening, std::string_view command) {
  ++job_number_;
  command_ = command;
  if (opening.kind == SendKind::kSms) {
    kind_ = "SMS";
  } else {
    kind_ = opening.type_code == "TXT" ? "LMS" : "MMS";
  }
  running_ = true;
  end_ = JobEnd::kDone;
  total_ = opening.count;
  sent_ = 0;
  acknowledged_ = 0;
  job_id_.clear();
  cancel_requested_ = false;
}

void JobProgress::ListEnded(int64_t count) { total_ = count; }

void JobProgress::JobIdGiven(std::string_view job_id) { job_id_ = job_id; }

void JobProgress::MessageSent(int64_t index) { sent_ = index + 1; }

void JobProgress::Acknowledged(int64_t count) { acknowledged_ = count; }

void JobProgress::Ended(JobEnd how, int64_t sent) {
  running_ = false;
  end_ = how;
  sent_ = sent;
  if (how == JobEnd::kDone || how == JobEnd::kCancelled) acknowledged_ = sent;
  cancel_requested_ = false;
}

}  // namespace parley
