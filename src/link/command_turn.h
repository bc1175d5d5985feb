// CommandTurn: the turn the UI link's commands take to run one at a time, first come first
// served, on the engine's one thread. A command holds it while it runs and while it awaits the
// web service; it gives it up only while it waits for the message gateway, as it always has.
// Only one gateway job runs at a time: a send whose turn comes while another's job runs waits,
// holding the turn, until that job has ended (STATE and CANCL take no turn and still answer).
#ifndef PARLEY_LINK_COMMAND_TURN_H_
#define PARLEY_LINK_COMMAND_TURN_H_

#include <deque>
#include <exception>
#include <memory>
#include <optional>

#include <asio/awaitable.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

namespace parley {

class CommandTurn {
 public:
  // Returns once every earlier taker has given the turn back.
  asio::awaitable<void> Take() {
    if (!held_) {
      held_ = true;
      co_return;
    }
    auto wake = std::make_shared<asio::steady_timer>(co_await asio::this_coro::executor,
                                                     asio::steady_timer::time_point::max());
    waiting_.push_back(wake);
    // Give() hands the turn over by cancelling the timer.
    co_await wake->async_wait(asio::experimental::as_tuple(asio::use_awaitable));
  }

  // Hands the turn to the longest waiter, if any.
  void Give() {
    if (waiting_.empty()) {
      held_ = false;
      return;
    }
    std::shared_ptr<asio::steady_timer> next = std::move(waiting_.front());
    waiting_.pop_front();
    next->cancel();
  }

  // Runs `wait` (a gateway job) with the turn given up, so that other commands run meanwhile, and
  // takes it back (also when `wait` throws, which then goes on). While another command's `wait`
  // runs, this one first waits for it to end, keeping the turn.
  template <typename T>
  asio::awaitable<T> Aside(asio::awaitable<T> wait) {
    while (job_aside_) {
      auto wake = std::make_shared<asio::steady_timer>(co_await asio::this_coro::executor,
                                                       asio::steady_timer::time_point::max());
      job_waiting_.push_back(wake);
      co_await wake->async_wait(asio::experimental::as_tuple(asio::use_awaitable));
    }
    job_aside_ = true;
    Give();
    std::exception_ptr error;
    std::optional<T> value;
    try {
      value.emplace(co_await std::move(wait));
    } catch (...) {
      error = std::current_exception();
    }
    job_aside_ = false;
    if (!job_waiting_.empty()) {
      job_waiting_.front()->cancel();
      job_waiting_.pop_front();
    }
    co_await Take();
    if (error) std::rethrow_exception(error);
    co_return std::move(*value);
  }

 private:
  bool held_ = false;
  std::deque<std::shared_ptr<asio::steady_timer>> waiting_;
  bool job_aside_ = false;  // a gateway job runs with the turn given up
  std::deque<std::shared_ptr<asio::steady_timer>> job_waiting_;
};

}  // namespace parley

#endif  // PARLEY_LINK_COMMAND_TURN_H_
