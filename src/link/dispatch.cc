#include "link/dispatch.h"

#include <cassert>

#include "link/message.h"
#include "text/mbcs.h"

namespace parley {

CommandHandler SyncHandler(std::function<std::string(const std::string& body)> handler) {
  return [handler = std::move(handler)](CommandBody body) -> asio::awaitable<std::string> {
    co_return handler(body.text);
  };
}

void CommandDispatcher::SetHandler(int number, CommandHandler handler) {
  assert(number > kCmdInit && number < kCommandCount && number != kCmdEndQx);
  handlers_[static_cast<size_t>(number)] = std::move(handler);
}

asio::awaitable<std::string> CommandDispatcher::Dispatch(std::string header, CommandBody body) {
  const int n = FindCommand(header);
  std::string reply_body;
  if (n == kCmdEndQx) {
    // The handler's text is not used: an ENDQX reply has an empty body. A non-zero value ends
    // the engine inside the handler, which then never returns here.
    if (end_handler_) co_await end_handler_(Atoi(body.text));
  } else if (n != kCmdInit && handlers_[static_cast<size_t>(n)]) {
    reply_body = co_await handlers_[static_cast<size_t>(n)](std::move(body));
  }
  co_return MakeMessage(kCommandCodes[static_cast<size_t>(n)], reply_body);
}

}  // namespace parley
