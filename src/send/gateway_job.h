// One gateway job, as every send pipeline runs it: connect, the job header, the job reply (job
// id), one message per recipient that a MessageSource gives, the acknowledgement wait after the
// paced messages 51, 101, 151, ..., and the end-of-job watch. Where the pipelines differ (direct
// sends, address-book group sends, Excel sends) a JobPolicy says how; the three policies are
// kDirectJob, kGroupJob and kExcelJob below, side by side.
#ifndef PARLEY_SEND_GATEWAY_JOB_H_
#define PARLEY_SEND_GATEWAY_JOB_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>

#include "send/job_observer.h"
#include "send/send_result.h"
#include "send/skn_package.h"

namespace parley {

class GatewaySocket;

// Where and as whom a job is sent.
struct SendSetup {
  asio::any_io_executor executor;     // the engine's io_context
  std::string gateway_host;           // name or dotted address
  uint16_t gateway_port = 0;          //
  std::chrono::milliseconds timeout;  // each reply wait, connect and write
  std::string module_dir;             // engine directory (UTF-8) ending in "/"; MMS only
  std::string login_id;               // CP949
  std::string password;               // CP949
  // Told what the job does; none when null. Held by the setup, which the job's caller keeps.
  std::shared_ptr<JobObserver> observer;
  // Asked after each acknowledgement: when it points at true, the job stops there (ends with the
  // gateway as a finished job does) as cancelled. Never asked when null.
  const bool* cancel = nullptr;
};

// What a send carries: one text message packet per recipient, or one SKN package per recipient
// (long texts and pictures).
enum class SendKind { kSms, kMms };

// What a negative acknowledgement does to the job.
enum class NegativeAck {
  kFailJob,  // the job ends with the failure text; so does a wait that fails in any way
  kGoOn,     // logged, the job goes on; only a gateway that hung up ends it
};

// What a recipient that cannot be a number (over 19 bytes, or holding a NUL byte or a line
// break) does.
enum class BadNumber {
  kRefuseJob,  // the pipeline checks every number before the job and refuses it (a field the
               // socket still refuses fails the job, as kFailJob)
  kSkip,       // that message is left out (logged) and the job goes on
  kFailJob,    // the gateway socket's refusal of the field ends the job with the failure text
};

// Where the type code of an MMS job header comes from.
enum class MmsTypeCode {
  kItemsAdded,     // the package's items (CSKNBuilder::TypeCode): "TXT", or "IMT" with a picture
  kPicturesNamed,  // "IMT" when the order names a picture (readable or not), else "TXT"
};

// Which sends of a pipeline make a sent report.
enum class SentReportKind { kNone, kSmsOnly, kAll };

// How a pipeline's result reaches the user.
enum class AnswerStyle {
  kUserText,  // the success text or the failure text; a refusal with RefusalText
  kWorkbook,  // as kUserText, but refusals and workbook failures as "Exception:[<reason>]" and
              // the MMS success text without a count
  kJobId,     // the job id only (empty when the gateway did not answer); nobody reads it
};

// The differences between the send pipelines, in one place.
struct JobPolicy {
  std::string_view name;       // in the log
  std::string_view command;    // the UI-link command that orders such a job
  std::string_view sms_title;  // the title of an SMS job given none
  std::string_view mms_title;  // the title of an MMS job given none
  NegativeAck negative_ack;
  BadNumber bad_number;
  bool strip_hyphens;  // hyphens are removed from recipients and callback
  MmsTypeCode mms_type_code;
  SentReportKind report;
  bool recent_numbers;  // the last five recipients go to the recent-numbers list
  bool send_check;      // sends only after a passed send check (DSEND/ESEND 4)
  AnswerStyle answer;
};

// DSEND: numbers listed in the request.
inline constexpr JobPolicy kDirectJob{
    .name = "direct send",
    .command = "DSEND",
    .sms_title = kSknDefaultSubject,
    .mms_title = kMmsDefaultTitle,
    .negative_ack = NegativeAck::kFailJob,
    .bad_number = BadNumber::kRefuseJob,
    .strip_hyphens = true,
    .mms_type_code = MmsTypeCode::kItemsAdded,
    .report = SentReportKind::kAll,
    .recent_numbers = true,
    .send_check = true,
    .answer = AnswerStyle::kUserText,
};

// ASEND: address-book groups, then listed numbers; numbers and callback sent as given.
inline constexpr JobPolicy kGroupJob{
    .name = "group send",
    .command = "ASEND",
    .sms_title = kSknDefaultSubject,
    .mms_title = kMmsDefaultTitle,
    .negative_ack = NegativeAck::kGoOn,
    .bad_number = BadNumber::kSkip,
    .strip_hyphens = false,
    .mms_type_code = MmsTypeCode::kItemsAdded,
    .report = SentReportKind::kNone,
    .recent_numbers = false,
    .send_check = false,
    .answer = AnswerStyle::kJobId,
};

// ESEND: the rows of a workbook sheet (cells cleaned by the row source, not here).
inline constexpr JobPolicy kExcelJob{
    .name = "excel send",
    .command = "ESEND",
    .sms_title = kSknDefaultSubject,
    .mms_title = kMmsDefaultTitle,
    .negative_ack = NegativeAck::kFailJob,
    .bad_number = BadNumber::kFailJob,
    .strip_hyphens = false,
    .mms_type_code = MmsTypeCode::kPicturesNamed,
    .report = SentReportKind::kSmsOnly,
    .recent_numbers = false,
    .send_check = true,
    .answer = AnswerStyle::kWorkbook,
};

// The message type code of a job header: "SMS" for an SMS job; for an MMS job as the policy
// says, from the package's own code or from the number of pictures the order names.
std::string JobTypeCode(const JobPolicy& policy, SendKind kind, std::string_view package_code,
                        size_t pictures_named);

// True when the policy makes a sent report for a send of kind.
bool MakesReport(const JobPolicy& policy, SendKind kind);

// One message of a job. The views stay valid until the next call of the source that gave it.
struct JobMessage {
  std::string_view recipient;
  std::string_view callback;
  std::string_view text;     // SMS jobs
  std::string_view package;  // MMS jobs: the package bytes
  // The package was built for this message alone: its bytes may stand where another message's
  // stood. False when every message of the job points at the job's one package.
  bool own_package = false;
  // The message's place in the paced run: the job waits for an acknowledgement after the one at
  // place i when i is not 0 and a multiple of 50. -1: no wait after it.
  int64_t pace = -1;
};

enum class SourceStep { kMessage, kEnd, kFailed };

// Where a job's messages come from. A source that fails ends the job at once: the messages
// before it go out, the connection is closed without the end-of-job watch.
class MessageSource {
 public:
  virtual ~MessageSource() = default;
  // The next message in *message; kEnd after the last; kFailed when the source broke.
  virtual SourceStep Next(JobMessage* message) = 0;
  // Called right after each message is handed to the socket, before any acknowledgement wait;
  // false when the source broke there.
  virtual bool Advance() { return true; }
  // Starts the messages again from the first (after the job's list was taken, see
  // JobObserver::ListsRecipients); false when the source cannot.
  virtual bool Rewind() = 0;
  // Why the source failed: for the log (UTF-8) and for the user (CP949, may be empty).
  virtual std::string FailureLog() const { return {}; }
  virtual std::string FailureReason() const { return {}; }
};

// The header fields of a job.
struct JobOpening {
  SendKind kind = SendKind::kSms;
  std::string title;
  std::string type_code;
  int64_t count = 0;
  std::string reserve_date;
};

// The opening of a job of kind: `title`, or the policy's default for kind when it is empty, and
// the reservation; the pipeline sets the type code and the count.
JobOpening NewOpening(const JobPolicy& policy, SendKind kind, std::string_view title,
                      std::string_view reserve_date);

// What a job did.
struct JobRun {
  bool completed = false;  // every message went out and the end-of-job watch saw no hang-up
  bool cancelled = false;  // stopped on request at an acknowledgement boundary, ended cleanly
  std::string job_id;
  int64_t sent = 0;                 // messages handed to the socket (skipped ones not counted)
  std::vector<std::string> recent;  // policy.recent_numbers: recipients with place >= count - 5
  std::error_code error;            // why the job did not complete, when the gateway was the cause
  std::string failure_reason;       // the source's FailureReason when the source failed
};

// The result of a job that ran: sent, with the number of messages sent, when it completed;
// cancelled, with the number sent, when it was stopped on request; else failed, with the gateway's
// error or the source's reason. The job id and the recent numbers are carried over.
SendResult ResultOfRun(JobRun run);

// Runs one job of opening's header with the messages of source, as policy says, reporting each
// step to setup.observer and stopping at the first acknowledgement after *setup.cancel turned
// true. Never throws for a gateway failure.
asio::awaitable<JobRun> RunGatewayJob(const SendSetup& setup, const JobPolicy& policy,
                                      const JobOpening& opening, MessageSource& source);

// The longest the end of a job watches for a gateway hanging up.
inline constexpr std::chrono::milliseconds kJobEndGrace{200};

// Ends a job with GatewaySocket::EndJob, watching at most kJobEndGrace (or `timeout` when
// shorter) for a gateway that hangs up on the last messages. Returns the write error, or
// kClosed when it hung up; success otherwise.
asio::awaitable<std::error_code> FinishJob(GatewaySocket& socket,
                                           std::chrono::milliseconds timeout);

}  // namespace parley

#endif  // PARLEY_SEND_GATEWAY_JOB_H_
