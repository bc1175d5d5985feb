// JournalRecorder: writes one gateway job into the send journal as it runs (a JobObserver beside
// the engine's JobProgress, one per job): the job before its header, each recipient and
// its text before it can leave, the acknowledgements and the ending. Without a journal, or when
// the journal cannot record, the job is stopped before anything leaves: no send goes unrecorded.
#ifndef PARLEY_ENGINE_JOURNAL_RECORDER_H_
#define PARLEY_ENGINE_JOURNAL_RECORDER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "send/job_observer.h"

namespace parley {

class SendJournal;

class JournalRecorder : public JobObserver {
 public:
  // journal may be null (it could not be opened): every job is then stopped before its header.
  explicit JournalRecorder(SendJournal* journal) : journal_(journal) {}

  void Opened(const JobOpening& opening, std::string_view command) override;
  void JobIdGiven(std::string_view job_id) override;
  void Queuing(std::string_view recipient, std::string_view content) override;
  bool BeforeWrite() override;
  void Acknowledged(int64_t count) override;
  void Ended(JobEnd how, int64_t sent) override;

 private:
  SendJournal* journal_;
  std::optional<int64_t> job_;  // the running job's journal id; empty when it is not recorded
  bool sms_ = true;
  bool text_known_ = false;
  std::string text_;  // the job's text: the first message's
  int64_t queued_ = 0;
  int64_t acknowledged_ = 0;
  // The digest of the last package seen, by its address and size (a job sends one package to
  // every recipient unless each has its own text).
  const char* package_data_ = nullptr;
  size_t package_size_ = 0;
  std::string package_digest_;
};

// The digest a picture message's package is journaled by: "h:" and 16 hex digits.
std::string PackageDigest(std::string_view package);

}  // namespace parley

#endif  // PARLEY_ENGINE_JOURNAL_RECORDER_H_
