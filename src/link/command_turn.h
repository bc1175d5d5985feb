// CommandTurn: the turn the UI link's commands take to run one at a time, first come first
// served, on the engine's one thread. A command holds it while it runs and while it awaits the
// web service; it gives it up only while it waits for the message gateway, as it always has.
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

  // Runs `wait` with the turn given up, so that other commands run meanwhile, and takes it back
  // (also when `wait` throws, which then goes on).
  template <typename T>
  asio::awaitable<T> Aside(asio::awaitable<T> wait) {
    Give();
    std::exception_ptr error;
    std::optional<T> value;
    try {
      value.emplace(co_await std::move(wait));
    } catch (...) {
      error = std::current_exception();
    }
    co_await Take();
    if (error) std::rethrow_exception(error);
    co_return std::move(*value);
  }

 private:
  bool held_ = false;
  std::deque<std::shared_ptr<asio::steady_timer>> waiting_;
};

}  // namespace parley

#endif  // PARLEY_LINK_COMMAND_TURN_H_
