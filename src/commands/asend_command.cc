#include "commands/asend_command.h"

#include <cstdint>
#include <string_view>

#include "commands/dsend_command.h"
#include "commands/login_command.h"
#include "engine/engine.h"
#include "send/group_send.h"
#include "text/mbcs.h"

namespace parley {
namespace {

constexpr std::string_view kSep = "<QX>";

enum ASendMode { kModeSms = 1, kModeLongText = 2, kModePicture = 3 };

}  // namespace

asio::awaitable<std::string> OnASend(Engine& engine, std::string body) {
  ReplaceAll(body, kSep, "`");
  const int mode = Atoi(ExtractSubString(body, 0, '`'));
  const int64_t count = Atoi(ExtractSubString(body, 1, '`'));
  if (mode == kModeSms || mode == kModeLongText || mode == kModePicture) {
    const DirectSendSetup setup = engine.services().MakeSendSetup(engine.session());
    // The job id is only logged by the pipelines; the UI program gets the account figures.
    if (mode == kModeSms) {
      co_await SendGroupSms(setup, engine.services().address_book(), count, body);
    } else {
      co_await SendGroupMms(setup, engine.services().address_book(), count, body);
    }
  }
  co_return RefreshUserInfo(engine);
}

}  // namespace parley
