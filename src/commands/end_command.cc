#include "commands/end_command.h"

#include <chrono>

#include <spdlog/spdlog.h>
#include <asio/experimental/as_tuple.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

#include "engine/engine.h"
#include "engine/job_progress.h"
#include "link/command_table.h"
#include "link/command_turn.h"
#include "link/message.h"
#include "web/web_service.h"

namespace parley {
namespace {

// How often ENDQX looks whether the job it stopped has ended.
constexpr std::chrono::milliseconds kJobPoll{50};

}  // namespace

asio::awaitable<void> OnEnd(Engine& engine, int value) {
  if (value == 0) {
    // Ends the login at the web service; the reply is not read. The engine keeps its login id
    // and password, but no send may go out until the next passed send check.
    engine.session().set_send_permission(0);
    engine.session().set_logged_in(false);
    co_await engine.services().web().Logout();
    co_return;
  }
  // A job that runs stops as CANCL stops it, at its next acknowledgement boundary; its command
  // then takes its turn back to post the sent report and answer, and the engine ends after it.
  JobProgress& job = engine.session().job();
  CommandTurn& turn = engine.link().dispatcher().turn();
  asio::steady_timer poll(co_await asio::this_coro::executor);
  for (bool first = true; job.running(); first = false) {
    if (first) spdlog::info("ENDQX during a send: the job stops at its next acknowledgement first");
    while (job.running()) {
      job.RequestCancel();
      poll.expires_after(kJobPoll);
      co_await poll.async_wait(asio::experimental::as_tuple(asio::use_awaitable));
    }
    co_await turn.Take();
    turn.Give();
  }
  engine.link().SendToUi(MakeMessage(kCommandCodes[kCmdEndQx], "EXIT"));
  co_await engine.link().EndEngine();
}

}  // namespace parley
