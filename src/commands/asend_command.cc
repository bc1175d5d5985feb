#include "commands/asend_command.h"

#include <cstdint>
#include <string_view>

#include "commands/dsend_command.h"
#include "commands/login_command.h"
#include "link/flex_link.h"
#include "send/group_send.h"
#include "text/mbcs.h"

namespace parley {
namespace {

constexpr std::string_view kSep = "<QX>";

enum ASendMode { kModeSms = 1, kModeLongText = 2, kModePicture = 3 };

}  // namespace

asio::awaitable<std::string> OnASend(CFlexLink& link, std::string body) {
  ReplaceAll(body, kSep, "`");
  const int mode = Atoi(ExtractSubString(body, 0, '`'));
  const int64_t count = Atoi(ExtractSubString(body, 1, '`'));
  if (mode == kModeSms || mode == kModeLongText || mode == kModePicture) {
    const DirectSendSetup setup = MakeSendSetup(link);
    // The job id is only logged by the pipelines; the UI program gets the account figures.
    if (mode == kModeSms) {
      co_await SendGroupSms(setup, link.address_book, count, body);
    } else {
      co_await SendGroupMms(setup, link.address_book, count, body);
    }
  }
  co_return RefreshUserInfo(link);
}

}  // namespace parley
