// JobProgress: the engine's record of its current or last gateway job, as the STATE reply shows
// it, filled in as a JobObserver while the job runs; and the cancel flag the job asks at each
// acknowledgement.
#ifndef PARLEY_ENGINE_JOB_PROGRESS_H_
#define PARLEY_ENGINE_JOB_PROGRESS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "send/job_observer.h"

namespace parley {

class JobProgress : public JobObserver {
 public:
  // Gateway jobs started since the engine started; 0 when none has (the fields below are then
  // empty or 0).
  int64_t job_number() const { return job_number_; }
  // "DSEND", "ASEND" or "ESEND".
  const std::string& command() const { return command_; }
  // The job's kind as sent: "SMS"; "LMS" for an MMS-form job of text only (type code TXT); "MMS".
  const std::string& kind() const { return kind_; }
  bool running() const { return running_; }
  // "running" while the job runs, then JobEndName of its ending.
  std::string_view state() const;
  int64_t total() const { return total_; }
  int64_t sent() const { return sent_; }
  int64_t acknowledged() const { return acknowledged_; }
  // Empty before the gateway's job reply.
  const std::string& job_id() const { return job_id_; }

  // Asks the running job to stop at its next acknowledgement boundary. Returns false (and asks
  // nothing) when no job is running.
  bool RequestCancel();
  // What a job's SendSetup::cancel points at; cleared when a job opens.
  const bool* cancel_flag() const { return &cancel_requested_; }

  void Opened(const JobOpening& opening, std::string_view command) override;
  void ListEnded(int64_t count) override;
  void JobIdGiven(std::string_view job_id) override;
  void MessageSent(int64_t index) override;
  void Acknowledged(int64_t count) override;
  void Ended(JobEnd how, int64_t sent) override;

 private:
  int64_t job_number_ = 0;
  std::string command_;
  std::string kind_;
  bool running_ = false;
  JobEnd end_ = JobEnd::kDone;
  int64_t total_ = 0;
  int64_t sent_ = 0;
  int64_t acknowledged_ = 0;
  std::string job_id_;
  bool cancel_requested_ = false;
};

}  // namespace parley

#endif  // PARLEY_ENGINE_JOB_PROGRESS_H_
