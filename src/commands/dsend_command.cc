#include "commands/dsend_command.h"

#include <optional>
#include <string_view>

#include <spdlog/spdlog.h>

#include "commands/login_command.h"
#include "commands/send_answer.h"
#include "commands/send_orders.h"
#include "commands/sent_reports.h"
#include "engine/engine.h"
#include "protocol/replies.h"
#include "send/direct_send.h"
#include "send/gateway_job.h"
#include "send/send_refusals.h"
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

asio::awaitable<std::string> OnDSend(Engine& engine, std::string body) {
  const int mode = protocol::SendModeOf(body);
  if (mode == protocol::kSendCheck) {
    co_return co_await SendCheck(engine, protocol::SendCheckRequest::Parse(body));
  }

  std::string report;
  std::optional<std::string> result = RefuseSend(engine, kDirectJob, mode, body, "DSEND");
  if (!result) {
    DirectOrder order = DirectOrderOf(protocol::DirectSendRequest::Parse(body));
    const SendKind kind = order.kind;
    // Made before the co_await: a temporary inside its expression is not safe with GCC 12.
    SendSetup setup = engine.services().MakeSendSetup(engine.session(), {"typed numbers"});
    const SendResult sent =
        co_await engine.link().dispatcher().turn().Aside(SendDirect(setup, std::move(order)));
    result = SendAnswer(sent, kDirectJob, kind);
    report = sent.report;
    for (const std::string& number : sent.recent) engine.session().recent_numbers().Add(number);
  }
  co_return co_await AfterSend(engine, *result, report);
}

}  // namespace parley
