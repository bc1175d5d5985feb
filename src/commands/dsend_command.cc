#include "commands/dsend_command.h"

#include <chrono>
#include <string_view>

#include <spdlog/spdlog.h>

#include "commands/login_command.h"
#include "engine/engine.h"
#include "send/direct_send.h"
#include "send/send_refusals.h"
#include "text/mbcs.h"
#include "web/send_calls.h"

namespace parley {
namespace {

constexpr std::string_view kSep = "<QX>";
constexpr std::string_view kSendCheckTag = "QXSENDABLECHECK";

enum DSendMode { kModeSms = 1, kModeLongText = 2, kModePicture = 3, kModeCheck = 4 };

}  // namespace

std::string SendCheck(Engine& engine, const std::string& body) {
  const std::vector<std::string_view> f = SplitFields(body, '`');
  auto at = [&f](size_t i) { return i < f.size() ? f[i] : std::string_view(); };
  std::string answer;
  const bool allowed = CheckSendable(engine.services().web(), engine.services().config().web_base,
                                     at(2), at(1), at(3), &answer);
  engine.session().set_send_permission(allowed ? 1 : 0);
  std::string reply(kSendCheckTag);
  reply += kSep;
  reply += answer;
  reply += kSep;
  reply += at(2);
  reply += kSep;
  reply += at(1);
  reply += RefreshUserInfo(engine);
  return reply;
}

bool HoldsRawBacktick(std::string_view body) { return body.find('`') != std::string_view::npos; }

asio::awaitable<std::string> OnDSend(Engine& engine, std::string body) {
  const bool raw_backtick = HoldsRawBacktick(body);
  ReplaceAll(body, kSep, "`");
  const int mode = Atoi(ExtractSubString(body, 0, '`'));
  if (mode == kModeCheck) co_return SendCheck(engine, body);

  std::string result;
  DirectSendOutput sent;
  const bool sends = mode == kModeSms || mode == kModeLongText || mode == kModePicture;
  if (sends && engine.session().send_permission() == 1 && raw_backtick) {
    spdlog::warn("DSEND refused: a field holds a raw backtick, which would cut it");
    result = RefusalText(SendRefusal::kRawBacktick);
  } else if (sends && engine.session().send_permission() == 1) {
    const DirectSendSetup setup = engine.services().MakeSendSetup(engine.session());
    if (mode == kModeSms) {
      result = co_await SendDirectSms(setup, std::move(body), &sent);
    } else {
      result = co_await SendDirectMms(setup, std::move(body), &sent);
    }
    for (const std::string& number : sent.recent) engine.session().recent_numbers().Add(number);
  }
  ReportSent(engine.services().web(), engine.services().config().web_base, sent.report);
  result += RefreshUserInfo(engine);
  co_return result;
}

}  // namespace parley
