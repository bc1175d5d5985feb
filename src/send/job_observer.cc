#include "send/job_observer.h"

namespace parley {

std::string_view JobEndName(JobEnd end) {
  switch (end) {
    case JobEnd::kDone:
      return "done";
    case JobEnd::kRefused:
      return "refused";
    case JobEnd::kNoAnswer:
      return "no-answer";
    case JobEnd::kClosed:
      return "closed";
    case JobEnd::kNack:
      return "nack";
    case JobEnd::kCancelled:
      return "cancelled";
    case JobEnd::kFailed:
      break;
  }
  return "failed";
}

void JobObservers::Opened(const JobOpening& opening, std::string_view command) {
  for (JobObserver* o : observers_) o->Opened(opening, command);
}

bool JobObservers::ListsRecipients() const {
  for (const JobObserver* o : observers_) {
    if (o->ListsRecipients()) return true;
  }
  return false;
}

void JobObservers::Listed(std::string_view recipient, std::string_view callback,
                          std::string_view content, bool own_content) {
  for (JobObserver* o : observers_) o->Listed(recipient, callback, content, own_content);
}

void JobObservers::ListEnded(int64_t count) {
  for (JobObserver* o : observers_) o->ListEnded(count);
}

void JobObservers::JobIdGiven(std::string_view job_id) {
  for (JobObserver* o : observers_) o->JobIdGiven(job_id);
}

void JobObservers::Queuing(std::string_view recipient, std::string_view content) {
  for (JobObserver* o : observers_) o->Queuing(recipient, content);
}

bool JobObservers::BeforeWrite() {
  bool ok = true;
  for (JobObserver* o : observers_) ok = o->BeforeWrite() && ok;
  return ok;
}

void JobObservers::MessageSent(int64_t index) {
  for (JobObserver* o : observers_) o->MessageSent(index);
}

void JobObservers::Acknowledged(int64_t count) {
  for (JobObserver* o : observers_) o->Acknowledged(count);
}

void JobObservers::Ended(JobEnd how, int64_t sent) {
  for (JobObserver* o : observers_) o->Ended(how, sent);
}

void JobObservers::ReportMade(std::string_view report) {
  for (JobObserver* o : observers_) o->ReportMade(report);
}

}  // namespace parley
