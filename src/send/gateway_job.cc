#include "send/gateway_job.h"

#include <algorithm>
#include <utility>

#include <spdlog/spdlog.h>

#include "send/gateway_error.h"
#include "send/gateway_records.h"
#include "send/gateway_socket.h"
#include "send/send_refusals.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {
namespace {

// The recipients kept for the recent-numbers list: those at the last places of the job.
constexpr int64_t kRecentCount = 5;

// Connects socket to the gateway of setup, sends the job header and awaits the job reply.
asio::awaitable<std::error_code> OpenJob(GatewaySocket& socket, const SendSetup& setup,
                                         const JobOpening& opening) {
  socket.SetServer(setup.gateway_host, setup.gateway_port);
  socket.SetIoTimeout(setup.timeout);
  JobHeader header;
  header.login_id = setup.login_id;
  header.password = setup.password;
  header.title = opening.title;
  header.type_code = opening.type_code;
  header.count = opening.count;
  header.interval = kAckInterval;
  header.reserve_date = opening.reserve_date;
  std::error_code ec = co_await socket.SendJobHeader(header);
  if (!ec) ec = co_await socket.WaitReply(setup.timeout);
  co_return ec;
}

// Text without its hyphens (RemoveHyphens) when strip is set: text itself when it has none,
// else a view of *storage.
std::string_view Number(std::string_view text, bool strip, std::string* storage) {
  if (!strip || text.find('-') == std::string_view::npos) return text;
  *storage = RemoveHyphens(text);
  return *storage;
}

// How a job that failed with ec ended: a connect that failed counts as no answer.
JobEnd EndOf(std::error_code ec) {
  if (ec == GatewayError::kTimeout) return JobEnd::kNoAnswer;
  if (ec == GatewayError::kClosed) return JobEnd::kClosed;
  if (ec == GatewayError::kRefused) return JobEnd::kRefused;
  if (ec.category() == GatewayCategory()) return JobEnd::kFailed;
  return JobEnd::kNoAnswer;
}

}  // namespace

JobOpening NewOpening(const JobPolicy& policy, SendKind kind, std::string_view title,
                      std::string_view reserve_date) {
  JobOpening opening;
  opening.kind = kind;
  opening.title =
      title.empty() ? (kind == SendKind::kSms ? policy.sms_title : policy.mms_title) : title;
  opening.reserve_date = reserve_date;
  return opening;
}

SendResult ResultOfRun(JobRun run) {
  SendResult result;
  result.outcome = run.completed   ? SendOutcome::kSent
                   : run.cancelled ? SendOutcome::kCancelled
                                   : SendOutcome::kFailed;
  result.count = run.sent;
  result.job_id = std::move(run.job_id);
  result.recent = std::move(run.recent);
  result.error = run.error;
  result.reason = std::move(run.failure_reason);
  return result;
}

std::string JobTypeCode(const JobPolicy& policy, SendKind kind, std::string_view package_code,
                        size_t pictures_named) {
  if (kind == SendKind::kSms) return "SMS";
  if (policy.mms_type_code == MmsTypeCode::kPicturesNamed) {
    return pictures_named > 0 ? "IMT" : "TXT";
  }
  return std::string(package_code);
}

bool MakesReport(const JobPolicy& policy, SendKind kind) {
  return policy.report == SentReportKind::kAll ||
         (policy.report == SentReportKind::kSmsOnly && kind == SendKind::kSms);
}

asio::awaitable<std::error_code> FinishJob(GatewaySocket& socket,
                                           std::chrono::milliseconds timeout) {
  std::error_code ec = co_await socket.EndJob(std::min(timeout, kJobEndGrace));
  co_return ec;
}

namespace {

// True when the policy leaves the message to recipient out: a NUL byte or a line break would cut
// the number to another one, and a number too long for its field is left out before it is
// reported, so that observers count only the messages that go.
bool Skips(const JobPolicy& policy, std::string_view recipient, bool log) {
  if (policy.bad_number != BadNumber::kSkip) return false;
  if (HasBreakingByte(recipient)) {
    if (log) spdlog::warn("{}: a number skipped: it holds a NUL byte or a line break", policy.name);
    return true;
  }
  if (recipient.size() > kMaxNumberBytes) {
    if (log) {
      spdlog::warn("{}: number {} skipped: longer than {} bytes", policy.name,
                   AnsiToUtf8(recipient), kMaxNumberBytes);
    }
    return true;
  }
  return false;
}

// Lists the job's messages to the observer as the job will send them, then rewinds the source.
// False when the source cannot be rewound.
bool ListMessages(const JobPolicy& policy, const JobOpening& opening, MessageSource& source,
                  JobObserver& observer) {
  std::string recipient_storage;
  std::string callback_storage;
  JobMessage m;
  int64_t listed = 0;
  while (source.Next(&m) == SourceStep::kMessage) {
    const std::string_view recipient =
        Number(m.recipient, policy.strip_hyphens, &recipient_storage);
    if (!Skips(policy, recipient, /*log=*/false)) {
      ++listed;
      observer.Listed(recipient, Number(m.callback, policy.strip_hyphens, &callback_storage),
                      opening.kind == SendKind::kSms ? m.text : m.package,
                      opening.kind != SendKind::kSms && m.own_package);
    }
    if (!source.Advance()) break;
  }
  observer.ListEnded(listed);
  return source.Rewind();
}

}  // namespace

asio::awaitable<JobRun> RunGatewayJob(const SendSetup& setup, const JobPolicy& policy,
                                      const JobOpening& opening, MessageSource& source) {
  JobRun run;
  JobObserver no_observer;
  JobObserver& observer = setup.observer != nullptr ? *setup.observer : no_observer;
  observer.Opened(opening, policy.command);
  int64_t handed = 0;  // messages handed to the socket; run.sent counts them once past a wait
  // Every way out of the job passes here, once.
  auto ended = [&](JobEnd how) -> JobRun {
    observer.Ended(how, handed);
    return std::move(run);
  };
  if (observer.ListsRecipients() && !ListMessages(policy, opening, source, observer)) {
    spdlog::error("{}: the messages cannot be listed again; the job is not sent", policy.name);
    co_return ended(JobEnd::kFailed);
  }
  GatewaySocket socket(setup.executor);
  socket.SetBeforeWrite([&observer] { return observer.BeforeWrite(); });
  std::error_code ec = co_await OpenJob(socket, setup, opening);
  if (ec) {
    spdlog::warn("{}: gateway job not opened: {}", policy.name, ec.message());
    run.error = ec;
    co_return ended(EndOf(ec));
  }
  run.job_id = socket.JobId();
  observer.JobIdGiven(run.job_id);
  if (!socket.JobAccepted()) {
    spdlog::warn("{}: gateway refused the job ({})", policy.name, run.job_id);
    run.error = GatewayError::kRefused;
    co_return ended(JobEnd::kRefused);
  }
  const std::string& job_id = run.job_id;

  std::string recipient_storage;
  std::string callback_storage;
  std::string_view callback_given;  // the callback of the last message, as the source gave it
  std::string_view callback;
  // The messages before a failure of the source go out, as each was sent when it was taken.
  auto end_on_source_failure = [&]() -> asio::awaitable<void> {
    (void)co_await socket.Flush();
    socket.Close();
    spdlog::error("{}: gateway job {} ended after {} messages: {}", policy.name, job_id, run.sent,
                  source.FailureLog());
    run.failure_reason = source.FailureReason();
  };
  JobMessage m;
  for (int64_t place = 0;; ++place) {
    const SourceStep step = source.Next(&m);
    if (step == SourceStep::kEnd) break;
    if (step == SourceStep::kFailed) {
      co_await end_on_source_failure();
      co_return ended(JobEnd::kFailed);
    }
    const std::string_view recipient =
        Number(m.recipient, policy.strip_hyphens, &recipient_storage);
    if (m.callback.data() != callback_given.data() || m.callback.size() != callback_given.size()) {
      callback_given = m.callback;
      callback = Number(m.callback, policy.strip_hyphens, &callback_storage);
    }
    bool skipped = false;
    if (Skips(policy, recipient, /*log=*/true)) {
      skipped = true;
    } else {
      observer.Queuing(recipient, opening.kind == SendKind::kSms ? m.text : m.package);
      if (opening.kind == SendKind::kSms) {
        ec = co_await socket.SendTextMessage(recipient, callback, m.text);
      } else {
        ec = co_await socket.SendFileMessage(recipient, callback, m.package);
      }
      if (ec == GatewayError::kFieldTooLong && policy.bad_number == BadNumber::kSkip) {
        spdlog::warn("{}: number {} skipped: longer than {} bytes", policy.name,
                     AnsiToUtf8(recipient), kMaxNumberBytes);
        ec.clear();
        skipped = true;
      }
    }
    if (!ec && !skipped) observer.MessageSent(handed++);
    if (!source.Advance()) {
      co_await end_on_source_failure();
      co_return ended(JobEnd::kFailed);
    }
    bool acknowledged = false;
    if (!ec && m.pace > 0 && m.pace % kAckInterval == 0) {
      spdlog::debug("{}: gateway job {}: waiting for the acknowledgement after {} messages",
                    policy.name, job_id, place + 1);
      const std::error_code wait = co_await socket.WaitReply(setup.timeout);
      acknowledged = !wait && socket.AckOk();
      if (policy.negative_ack == NegativeAck::kFailJob) {
        if (!wait && !socket.AckOk()) {
          spdlog::warn("{}: gateway job {}: negative acknowledgement after {} messages",
                       policy.name, job_id, place + 1);
          co_return ended(JobEnd::kNack);
        }
        ec = wait;
      } else if (wait == GatewayError::kClosed) {
        // Nothing sent after a hang-up can arrive.
        ec = wait;
      } else if (wait) {
        spdlog::debug("{}: gateway job {}: wait at {}: {}", policy.name, job_id, m.pace,
                      wait.message());
      } else if (!socket.AckOk()) {
        spdlog::warn(
            "{}: gateway job {}: negative acknowledgement after {} messages; the job "
            "goes on",
            policy.name, job_id, run.sent + 1);
      }
    }
    if (ec) {
      spdlog::warn("{}: gateway job {} failed after {} messages: {}", policy.name, job_id, run.sent,
                   ec.message());
      run.error = ec;
      co_return ended(EndOf(ec));
    }
    if (!skipped) ++run.sent;
    if (policy.recent_numbers && opening.count - place <= kRecentCount) {
      run.recent.emplace_back(recipient);
    }
    if (acknowledged) {
      observer.Acknowledged(run.sent);
      if (setup.cancel != nullptr && *setup.cancel) {
        run.cancelled = true;
        break;
      }
    }
  }
  ec = co_await FinishJob(socket, setup.timeout);
  if (ec) {
    spdlog::warn("{}: gateway job {} failed at the end: {}", policy.name, job_id, ec.message());
    run.error = ec;
    run.cancelled = false;
    run.recent.clear();
    co_return ended(EndOf(ec));
  }
  if (run.cancelled) {
    spdlog::info("{}: gateway job {}: cancelled after {} messages", policy.name, job_id, run.sent);
    co_return ended(JobEnd::kCancelled);
  }
  spdlog::info("{}: gateway job {}: {} messages sent", policy.name, job_id, run.sent);
  run.completed = true;
  observer.Acknowledged(run.sent);
  co_return ended(JobEnd::kDone);
}

}  // namespace parley
