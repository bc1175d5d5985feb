// Runs a coroutine to its end on an io_context, for tests that call awaited code from plain
// functions. The io_context is the caller's so that objects bound to its executor outlive a call.
#ifndef PARLEY_TESTING_AWAIT_H_
#define PARLEY_TESTING_AWAIT_H_

#include <exception>
#include <optional>
#include <utility>

#include <asio/awaitable.hpp>
#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>

namespace parley::testing {

// The value of `task` once it has run on `io`; its exception is thrown here.
template <typename T>
T Await(asio::io_context& io, asio::awaitable<T> task) {
  std::optional<T> value;
  std::exception_ptr error;
  asio::co_spawn(io, std::move(task), [&](std::exception_ptr e, T v) {
    error = e;
    if (!e) value = std::move(v);
  });
  io.restart();
  io.run();
  if (error) std::rethrow_exception(error);
  return std::move(*value);
}

inline void Await(asio::io_context& io, asio::awaitable<void> task) {
  std::exception_ptr error;
  asio::co_spawn(io, std::move(task), [&](std::exception_ptr e) { error = e; });
  io.restart();
  io.run();
  if (error) std::rethrow_exception(error);
}

}  // namespace parley::testing

#endif  // PARLEY_TESTING_AWAIT_H_
