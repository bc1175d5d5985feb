#include "send/direct_send.h"

#include <spdlog/spdlog.h>

#include "send/gateway_records.h"
#include "send/send_refusals.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {
namespace {

// Walks a comma-separated recipient list without copying it.
class RecipientCursor {
 public:
  explicit RecipientCursor(std::string_view list) : rest_(list) {}
  // The next entry; false when the list has no further entry.
  bool Next(std::string_view* entry) {
    if (!more_) return false;
    const size_t comma = rest_.find(',');
    *entry = rest_.substr(0, comma);
    more_ = comma != std::string_view::npos;
    if (more_) rest_.remove_prefix(comma + 1);
    return true;
  }

 private:
  std::string_view rest_;
  bool more_ = true;
};

// Why a job cannot be sent: empty `log` when it can.
struct JobProblem {
  std::string log;                           // for the log
  SendRefusal refusal = SendRefusal::kNone;  // the user's reason, when there is one to give
};

JobProblem CheckOrder(const DirectOrder& order) {
  if (order.count < 0 || order.count > kMaxRecipientCount) {
    return {"recipient count " + std::to_string(order.count) + " out of range"};
  }
  if (HasBreakingByte(order.callback)) {
    return {"callback number holds a NUL byte or a line break", SendRefusal::kBadCallback};
  }
  if (RemoveHyphens(order.callback).size() > kMaxNumberBytes) return {"callback number too long"};
  if (order.kind == SendKind::kSms && order.text.size() > kMaxTextBytes) {
    return {"message text of " + std::to_string(order.text.size()) + " bytes over " +
            std::to_string(kMaxTextBytes)};
  }
  RecipientCursor cursor(order.recipients);
  std::string_view entry;
  for (int64_t i = 0; i < order.count; ++i) {
    if (!cursor.Next(&entry)) {
      return {"count " + std::to_string(order.count) + " but " + std::to_string(i) + " recipients"};
    }
    if (HasBreakingByte(entry)) {
      return {"recipient " + std::to_string(i) + " holds a NUL byte or a line break",
              SendRefusal::kBadRecipient};
    }
    const size_t digits =
        entry.find('-') == std::string_view::npos ? entry.size() : RemoveHyphens(entry).size();
    if (digits == 0) return {"recipient " + std::to_string(i) + " empty"};
    if (digits > kMaxNumberBytes) return {"recipient " + std::to_string(i) + " too long"};
  }
  return {};
}

// The first `count` recipients of an order, each placed by its index.
class RecipientList : public MessageSource {
 public:
  RecipientList(const DirectOrder& order, std::string_view package)
      : order_(order), cursor_(order.recipients), package_(package) {}

  SourceStep Next(JobMessage* m) override {
    if (next_ >= order_.count || !cursor_.Next(&m->recipient)) return SourceStep::kEnd;
    m->callback = order_.callback;
    m->text = order_.text;
    m->package = package_;
    m->pace = next_++;
    return SourceStep::kMessage;
  }

  bool Rewind() override {
    cursor_ = RecipientCursor(order_.recipients);
    next_ = 0;
    return true;
  }

 private:
  const DirectOrder& order_;
  RecipientCursor cursor_;
  std::string_view package_;
  int64_t next_ = 0;
};

}  // namespace

asio::awaitable<SendResult> SendDirect(const SendSetup& setup, DirectOrder order) {
  const JobPolicy& policy = kDirectJob;
  SendResult refused = RefusedResult();
  JobOpening opening = NewOpening(policy, order.kind, order.title, order.reserve_date);
  const JobPackage package = OrderPackage(order.kind == SendKind::kMms, setup.module_dir,
                                          opening.title, order.text, order.pictures);
  if (package.refusal != SendRefusal::kNone) {
    refused.refusal = package.refusal;
    co_return refused;
  }
  refused.refusal = NormalizeCallback(&order.callback);
  if (refused.refusal != SendRefusal::kNone) {
    spdlog::warn("{} refused: {}", policy.name, AnsiToUtf8(RefusalReason(refused.refusal)));
    co_return refused;
  }
  const JobProblem problem = CheckOrder(order);
  if (!problem.log.empty()) {
    spdlog::warn("{} refused: {}", policy.name, problem.log);
    refused.refusal = problem.refusal;
    co_return refused;
  }
  opening.type_code = JobTypeCode(policy, order.kind, package.type_code, order.pictures.size());
  opening.count = order.count;
  RecipientList source(order, package.bytes);
  SendResult result = ResultOfRun(co_await RunGatewayJob(setup, policy, opening, source));
  if (result.outcome != SendOutcome::kSent) co_return result;
  // The callback loses its hyphens with the first message; a job of none reports it as given.
  const std::string callback = order.count > 0 ? RemoveHyphens(order.callback) : order.callback;
  if (MakesReport(policy, order.kind)) {
    result.report = SentReport(result.job_id, order.count, opening.title, order.text,
                               order.reserve_date, callback);
    if (setup.observer != nullptr) setup.observer->ReportMade(result.report);
  }
  co_return result;
}

}  // namespace parley
