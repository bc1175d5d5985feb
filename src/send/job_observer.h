// JobObserver: what a gateway job reports while it runs (the job's opening, the gateway's job id,
// each message handed to the socket, each acknowledgement, the end), and JobObservers, which hands
// every report on to several observers. The runner (RunGatewayJob) talks to one observer; more
// than one listener plug in through a JobObservers.
#ifndef PARLEY_SEND_JOB_OBSERVER_H_
#define PARLEY_SEND_JOB_OBSERVER_H_

#include <cstdint>
#include <string_view>
#include <vector>

namespace parley {

struct JobOpening;

// How a job ended.
enum class JobEnd {
  kDone,       // every message went out and the gateway kept the connection to the end
  kRefused,    // the job reply refused the job
  kNoAnswer,   // a reply or acknowledgement wait timed out, or the connect failed
  kClosed,     // the gateway closed the connection
  kNack,       // a negative acknowledgement ended the job
  kCancelled,  // stopped on request at an acknowledgement boundary
  kFailed,     // anything else: the recipients' source failed, a field did not fit
};

// The name of an ending as the STATE reply gives it: "done", "refused", "no-answer", "closed",
// "nack", "cancelled" or "failed".
std::string_view JobEndName(JobEnd end);

// Every call comes from the job's coroutine on the engine's io_context; none may suspend or throw.
// Each does nothing unless overridden, so a plain JobObserver listens to nothing.
class JobObserver {
 public:
  virtual ~JobObserver() = default;
  // The job starts (before the connect), with its header fields, for the UI-link command
  // (DSEND, ASEND or ESEND) that ordered it.
  virtual void Opened(const JobOpening& /*opening*/, std::string_view /*command*/) {}
  // True when the observer wants every message of the job listed before the connect.
  virtual bool ListsRecipients() const { return false; }
  // Before the connect, when asked for: the job's messages in order, as Queuing will report
  // them (recipient and callback as sent, the text or package), skipped ones left out. A source
  // that fails ends the list there. `own_content`: the content was made for this message alone
  // (its bytes may reuse another's address); else the same address holds the same content.
  virtual void Listed(std::string_view /*recipient*/, std::string_view /*callback*/,
                      std::string_view /*content*/, bool /*own_content*/) {}
  // The list is complete: the job will send `count` messages (a group send's header counts its
  // groups and numbers, not the members).
  virtual void ListEnded(int64_t /*count*/) {}
  // The gateway answered the job header with this job id (accepted or not).
  virtual void JobIdGiven(std::string_view /*job_id*/) {}
  // The next message is about to be handed to the socket: the recipient as sent and the text
  // (SMS) or package (MMS). A message skipped before that is not reported.
  virtual void Queuing(std::string_view /*recipient*/, std::string_view /*content*/) {}
  // Bytes are about to be written to the gateway (the job header, or the messages queued so
  // far). A false return stops the job before they leave; it fails as not recorded.
  virtual bool BeforeWrite() { return true; }
  // Message `index` (0-based, skipped ones not counted) was handed to the socket.
  virtual void MessageSent(int64_t /*index*/) {}
  // The gateway confirmed the messages before `count` (a positive acknowledgement).
  virtual void Acknowledged(int64_t /*count*/) {}
  // The job ended as `how`, after `sent` messages were handed to the socket.
  virtual void Ended(JobEnd /*how*/, int64_t /*sent*/) {}
  // After the end: the pipeline made the job's sent report (the form to post to the web service).
  virtual void ReportMade(std::string_view /*report*/) {}
};

// Hands each report to every observer added, in the order they were added. Holds no observer:
// each must outlive it.
class JobObservers : public JobObserver {
 public:
  void Add(JobObserver* observer) { observers_.push_back(observer); }

  void Opened(const JobOpening& opening, std::string_view command) override;
  bool ListsRecipients() const override;
  void Listed(std::string_view recipient, std::string_view callback, std::string_view content,
              bool own_content) override;
  void ListEnded(int64_t count) override;
  void JobIdGiven(std::string_view job_id) override;
  void Queuing(std::string_view recipient, std::string_view content) override;
  bool BeforeWrite() override;
  void MessageSent(int64_t index) override;
  void Acknowledged(int64_t count) override;
  void Ended(JobEnd how, int64_t sent) override;
  void ReportMade(std::string_view report) override;

 private:
  std::vector<JobObserver*> observers_;
};

}  // namespace parley

#endif  // PARLEY_SEND_JOB_OBSERVER_H_
