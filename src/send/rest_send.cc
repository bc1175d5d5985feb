#include "send/rest_send.h"

#include <spdlog/spdlog.h>

namespace parley {
namespace {

// The order's messages in order.
class RestMessages : public MessageSource {
 public:
  explicit RestMessages(const RestOrder& order) : order_(order) {}

  SourceStep Next(JobMessage* m) override {
    if (next_ >= order_.messages.size()) return SourceStep::kEnd;
    const RestMessage& message = order_.messages[next_];
    m->recipient = message.recipient;
    m->callback = order_.callback;
    if (order_.kind == SendKind::kSms) {
      m->text = message.content.empty() ? std::string_view(order_.text) : message.content;
    } else {
      m->package = order_.packages.find(message.content)->second;  // checked before the job
    }
    m->pace = static_cast<int64_t>(next_++);
    return SourceStep::kMessage;
  }

  bool Rewind() override {
    next_ = 0;
    return true;
  }

 private:
  const RestOrder& order_;
  size_t next_ = 0;
};

}  // namespace

asio::awaitable<SendResult> SendRest(const SendSetup& setup, const RestOrder& order) {
  const JobPolicy& policy = kRestJob;
  bool complete = !order.messages.empty();
  if (order.kind != SendKind::kSms) {
    for (const RestMessage& message : order.messages) {
      complete = complete && order.packages.contains(message.content);
    }
  }
  if (!complete) {
    spdlog::warn("{} refused: no messages, or a package that was not kept", policy.name);
    co_return RefusedResult();
  }
  JobOpening opening = NewOpening(policy, order.kind, order.title, order.reserve_date);
  opening.type_code = order.type_code;
  opening.count = static_cast<int64_t>(order.messages.size());
  RestMessages source(order);
  SendResult result = ResultOfRun(co_await RunGatewayJob(setup, policy, opening, source));
  if (result.outcome == SendOutcome::kSent) {
    result.report = SentReport(result.job_id, result.count, opening.title, order.text,
                               order.reserve_date, order.callback);
    if (setup.observer != nullptr) setup.observer->ReportMade(result.report);
  }
  co_return result;
}

}  // namespace parley
