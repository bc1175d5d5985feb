// WorkbookWorker: the one thread on which workbooks are loaded and queried, so that a large load
// does not hold up the engine's loop (the UI link, SIGTERM, the web service's replies). Tasks run
// one after another in the order given; the awaiting coroutine resumes on its own executor with
// the task's result, or its exception. The workbook cache is touched by these tasks only.
#ifndef PARLEY_ENGINE_WORKBOOK_WORKER_H_
#define PARLEY_ENGINE_WORKBOOK_WORKER_H_

#include <type_traits>
#include <utility>

#include <asio/awaitable.hpp>
#include <asio/co_spawn.hpp>
#include <asio/thread_pool.hpp>
#include <asio/use_awaitable.hpp>

namespace parley {

class WorkbookWorker {
 public:
  WorkbookWorker() : pool_(1) {}
  // Waits for the task under way, if any; tasks not begun are dropped.
  ~WorkbookWorker() {
    pool_.stop();
    pool_.join();
  }
  WorkbookWorker(const WorkbookWorker&) = delete;
  WorkbookWorker& operator=(const WorkbookWorker&) = delete;

  // Runs `task` on the worker thread and gives its result back on the caller's executor.
  template <typename Task>
  asio::awaitable<std::invoke_result_t<Task&>> Run(Task task) {
    using Result = std::invoke_result_t<Task&>;
    co_return co_await asio::co_spawn(
        pool_.get_executor(),
        [task = std::move(task)]() mutable -> asio::awaitable<Result> { co_return task(); },
        asio::use_awaitable);
  }

 private:
  asio::thread_pool pool_;
};

}  // namespace parley

#endif  // PARLEY_ENGINE_WORKBOOK_WORKER_H_
