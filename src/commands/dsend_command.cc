#include "commands/dsend_command.h"

#include <optional>
#include <string_view>

#include <spdlog/spdlog.h>

#include "commands/login_command.h"
#include "commands/send_answer.h"
#include "commands/send_orders.h"
#include "commands/send_rules.h"
#include "commands/sent_reports.h"
#include "engine/engine.h"
#include "protocol/replies.h"
#include "send/direct_send.h"
#include "send/gateway_job.h"
#include "send/send_refusals.h"
#include "text/cp949.h"
#include "web/web_service.h"

namespace parley {

asio::awaitable<std::string> SendCheck(Engine& engine, protocol::SendCheckRequest request) {
  const SendCheckAnswer answer =
      co_await engine.services().web().CheckSendable(request.kind, request.count, request.reserve);
  engine.session().set_send_permission(answer.allowed ? 1 : 0);
  co_return protocol::SendCheckReply(answer.text, request, co_await RefreshUserInfo(engine));
}

asio::awaitable<std::string> AfterSend(Engine& engine, std::string result, std::string report) {
  if (report.empty()) {
    (void)co_await engine.services().web().ReportSent(report);
  } else {
    co_await PostSentReports(engine, std::move(report));
  }
  co_return protocol::SendReply(result, co_await RefreshUserInfo(engine));
}

std::optional<std::string> RefuseSend(const Engine& engine, const JobPolicy& policy, int mode,
                                      std::string_view body, std::string_view command) {
  const bool permitted = !policy.send_check || engine.session().send_permission() == 1;
  if (!protocol::IsSendingMode(mode) || !permitted) return std::string();
  if (!engine.services().has_journal()) {
    spdlog::error("{} refused: {}", command, engine.services().journal_error());
    return RefusalText(SendRefusal::kNoJournal);
  }
  if (protocol::HoldsRawBacktick(body)) {
    spdlog::warn("{} refused: a field holds a raw backtick, which would cut it", command);
    return RefusalText(SendRefusal::kRawBacktick);
  }
  return std::nullopt;
}

namespace {

// A direct send under the sending rules: the order without the numbers the rules leave out, and
// the job's source naming them; or the reason it may not go.
struct RuledDirect {
  DirectOrder order;
  JobSource source{"typed numbers"};
  std::string fault{};
};

RuledDirect RuleDirect(Engine& engine, std::string_view body) {
  const protocol::DirectSendRequest request = protocol::DirectSendRequest::Parse(body);
  RuledDirect ruled{DirectOrderOf(request)};
  DirectOrder& order = ruled.order;
  const SendMarks marks = MarksOf(request.tags);
  const SendingRules rules = LoadSendingRules(engine);
  ruled.fault =
      SendFault(rules, marks, RulesNow(engine), &order.text, order.reserve_date, order.callback);
  if (!ruled.fault.empty()) return ruled;
  OptedOutNumbers kept = LeaveOutOptedOut(rules, marks, order.recipients, order.count);
  if (!kept.left_out.empty() && kept.count <= 0) {
    ruled.fault = AllOptedOutReason();
    return ruled;
  }
  order.recipients = std::move(kept.list);
  order.count = kept.count;
  ruled.source.left_out = std::move(kept.left_out);
  ruled.source.advert = marks.advert;
  ruled.source.night_consent = marks.night_consent;
  return ruled;
}

}  // namespace

std::string WithOptedOutLine(std::string result, const SendResult& sent, size_t opted_out) {
  const bool went = sent.outcome == SendOutcome::kSent || sent.outcome == SendOutcome::kCancelled;
  if (opted_out == 0 || !went) return result;
  return result + "\n" + OptedOutLine(static_cast<int64_t>(opted_out));
}

asio::awaitable<std::string> OnDSend(Engine& engine, std::string body) {
  const int mode = protocol::SendModeOf(body);
  if (mode == protocol::kSendCheck) {
    co_return co_await SendCheck(engine, protocol::SendCheckRequest::Parse(body));
  }

  std::string report;
  std::optional<std::string> result = RefuseSend(engine, kDirectJob, mode, body, "DSEND");
  if (!result) {
    RuledDirect ruled = RuleDirect(engine, body);
    if (!ruled.fault.empty()) {
      spdlog::warn("DSEND refused by the sending rules: {}", AnsiToUtf8(ruled.fault));
      result = RuleRefusalText(ruled.fault);
    } else {
      const SendKind kind = ruled.order.kind;
      const size_t opted_out = ruled.source.left_out.size();
      // Made before the co_await: a temporary inside its expression is not safe with GCC 12.
      SendSetup setup = engine.services().MakeSendSetup(engine.session(), std::move(ruled.source));
      const SendResult sent = co_await engine.link().dispatcher().turn().Aside(
          SendDirect(setup, std::move(ruled.order)));
      result = WithOptedOutLine(SendAnswer(sent, kDirectJob, kind), sent, opted_out);
      report = sent.report;
      for (const std::string& number : sent.recent) engine.session().recent_numbers().Add(number);
    }
  }
  co_return co_await AfterSend(engine, *result, report);
}

}  // namespace parley
