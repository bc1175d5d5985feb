#include "commands/dsend_command.h"

#include <algorithm>
#include <chrono>
#include <string_view>

#include <spdlog/spdlog.h>

#include "commands/login_command.h"
#include "commands/send_answer.h"
#include "engine/engine.h"
#include "send/direct_send.h"
#include "send/job_package.h"
#include "send/send_refusals.h"
#include "text/mbcs.h"
#include "text/text_codes.h"
#include "web/send_calls.h"

namespace parley {
namespace {

constexpr std::string_view kSep = "<QX>";
constexpr std::string_view kSendCheckTag = "QXSENDABLECHECK";

enum DSendMode { kModeSms = 1, kModeLongText = 2, kModePicture = 3, kModeCheck = 4 };

// The order of a DSEND send from its body, "<QX>" replaced by backticks. Fields: 0 mode,
// 1 count, 2 title, 3 reservation, 4 recipients separated by commas, 5 callback, 6 text escaped
// for the UI link, 7 (MMS) "<IMG>" and picture names.
DirectOrder ReadDirectOrder(const std::string& body, int mode) {
  const BodyFields f(body);
  DirectOrder order;
  ReadOrderHead(f, mode, &order);
  order.recipients = f[4];
  order.callback = f[5];
  order.text = DecodeUiText(f[6]);
  if (order.kind == SendKind::kMms) order.pictures = PictureList(body, 7);
  return order;
}

}  // namespace

std::vector<std::string> PictureList(std::string_view body, int field) {
  std::vector<std::string> names;
  const size_t marker = body.find(kImageMarker);
  if (marker == std::string_view::npos || marker == 0) return names;
  std::string list = ExtractSubString(body, field, '`');
  list.erase(0, std::min(list.size(), kImageMarker.size()));
  for (int k = 0; k < static_cast<int>(kMaxJobPictures); ++k) {
    std::string name = ExtractSubString(list, k, ',');
    if (name.empty()) break;
    names.push_back(std::move(name));
  }
  return names;
}

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
  std::string report;
  const bool sends = mode == kModeSms || mode == kModeLongText || mode == kModePicture;
  const bool permitted = !kDirectJob.send_check || engine.session().send_permission() == 1;
  if (sends && permitted && raw_backtick) {
    spdlog::warn("DSEND refused: a field holds a raw backtick, which would cut it");
    result = RefusalText(SendRefusal::kRawBacktick);
  } else if (sends && permitted) {
    DirectOrder order = ReadDirectOrder(body, mode);
    const SendKind kind = order.kind;
    const SendResult sent =
        co_await SendDirect(engine.services().MakeSendSetup(engine.session()), std::move(order));
    result = SendAnswer(sent, kDirectJob, kind);
    report = sent.report;
    for (const std::string& number : sent.recent) engine.session().recent_numbers().Add(number);
  }
  ReportSent(engine.services().web(), engine.services().config().web_base, report);
  result += RefreshUserInfo(engine);
  co_return result;
}

}  // namespace parley
