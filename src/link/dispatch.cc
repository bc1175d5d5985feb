#include "link/dispatch.h"

#include <cassert>
#include <exception>

#include "link/message.h"
#include "text/mbcs.h"

namespace parley {

CommandHandler SyncHandler(std::function<std::string(const std::string& body)> handler) {
  return [handler = std::move(handler)](CommandBody body) -> asio::awaitable<std::string> {
    co_return handler(body.text);
  };
}

namespace {

// Whether a message waits for its turn. INIT, the ENDQX that ends the engine, and the status and
// cancel extensions are answered at once, also while another command waits for the web service
// or a workbook.
bool TakesTurn(int number, const CommandBody& body) {
  if (number == kCmdInit || number == kCmdState || number == kCmdCancl) return false;
  if (number == kCmdEndQx) return Atoi(body.text) == 0;
  return true;
}

}  // namespace

void CommandDispatcher::SetHandler(int number, CommandHandler handler) {
  assert(number > kCmdInit && number < kCommandCount && number != kCmdEndQx);
  handlers_[static_cast<size_t>(number)] = std::move(handler);
}

asio::awaitable<std::string> CommandDispatcher::Dispatch(
    std::string header, CommandBody body, std::function<asio::awaitable<void>()> reply_room) {
  const int n = FindCommand(header);
  const bool turn = TakesTurn(n, body);
  if (turn) {
    co_await turn_.Take();
    if (reply_room) co_await reply_room();
  }
  std::string reply_body;
  std::exception_ptr error;
  try {
    reply_body = co_await Run(n, std::move(body));
  } catch (...) {
    error = std::current_exception();
  }
  if (turn) turn_.Give();
  if (error) std::rethrow_exception(error);
  co_return MakeMessage(kCommandCodes[static_cast<size_t>(n)], reply_body);
}

asio::awaitable<std::string> CommandDispatcher::Run(int n, CommandBody body) {
  std::string reply_body;
  if (n == kCmdEndQx) {
    // The handler's text is not used: an ENDQX reply has an empty body. A non-zero value ends
    // the engine inside the handler, which then never returns here.
    if (end_handler_) co_await end_handler_(Atoi(body.text));
  } else if (n != kCmdInit && handlers_[static_cast<size_t>(n)]) {
    reply_body = co_await handlers_[static_cast<size_t>(n)](std::move(body));
  }
  co_return reply_body;
}

}  // namespace parley
