// JournalRecorder: writes one gateway job into the send journal as it runs (a JobObserver beside
// the engine's JobProgress, one per job): the job and every recipient with its text before the
// header goes out (with the LMS and MMS packages, so that the rest can be sent again), how far
// the gateway acknowledged it, its ending and its sent report. Without a journal, or when the
// journal cannot record, the job is stopped before anything leaves: no send goes unrecorded.
#ifndef PARLEY_ENGINE_JOURNAL_RECORDER_H_
#define PARLEY_ENGINE_JOURNAL_RECORDER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal_types.h"
#include "send/job_observer.h"

namespace parley {

class SendJournal;

// Where a job's recipients came from, for the journal's readers.
struct JobSource {
  std::string description;  // CP949, for example the workbook's path and sheet
  int64_t resend_of = 0;    // the journal id of the job whose rest this job sends; 0: none
  std::vector<JournalLeftOut> left_out{};  // rows left out before the gateway, with why
  bool advert = false;                     // an advertising send
  bool night_consent = false;              // its recipients consented apart to night advertising
};

// The most package bytes one job keeps in the journal (a job of one package keeps it whatever its
// size). Past it, the recipients of packages not kept cannot be sent again from the journal.
inline constexpr size_t kKeptPackageBytes = size_t{64} << 20;

// Listed recipients are written to the job's tape in runs of this many.
inline constexpr int64_t kListedPerWrite = 8192;

class JournalRecorder : public JobObserver {
 public:
  // journal may be null (it could not be opened): every job is then stopped before its header.
  JournalRecorder(SendJournal* journal, JobSource source)
      : journal_(journal), source_(std::move(source)) {}

  // The journal id of the job recorded last, once it has begun.
  std::optional<int64_t> last_job() const { return last_job_; }

  void Opened(const JobOpening& opening, std::string_view command) override;
  bool ListsRecipients() const override { return job_.has_value(); }
  void Listed(std::string_view recipient, std::string_view callback, std::string_view content,
              bool own_content) override;
  void ListEnded(int64_t count) override;
  void JobIdGiven(std::string_view job_id) override;
  void Queuing(std::string_view recipient, std::string_view content) override;
  bool BeforeWrite() override;
  void Acknowledged(int64_t count) override;
  void Ended(JobEnd how, int64_t sent) override;
  void ReportMade(std::string_view report) override;

 private:
  SendJournal* journal_;
  JobSource source_;
  std::optional<int64_t> job_;  // the running job's journal id; empty when it is not recorded
  std::optional<int64_t> last_job_;
  bool sms_ = true;
  bool text_known_ = false;
  std::string text_;  // the job's text: the first message's
  int64_t listed_ = 0;
  int64_t queued_ = 0;
  int64_t acknowledged_ = 0;
  // The digest of the last package seen, by its address and size (a job sends one package to
  // every recipient unless each has its own text), and the package bytes kept so far.
  const char* package_data_ = nullptr;
  size_t package_size_ = 0;
  std::string package_digest_;
  size_t kept_bytes_ = 0;
};

// The digest a picture message's package is journaled by: "h:" and 16 hex digits.
std::string PackageDigest(std::string_view package);

}  // namespace parley

#endif  // PARLEY_ENGINE_JOURNAL_RECORDER_H_
