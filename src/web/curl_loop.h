// CurlLoop: runs libcurl transfers on an asio executor through libcurl's multi interface, so a
// web call is awaited like any other I/O and never blocks the engine's thread. libcurl names the
// sockets and the time-out it waits for; the loop watches them with the executor's reactor.
#ifndef PARLEY_WEB_CURL_LOOP_H_
#define PARLEY_WEB_CURL_LOOP_H_

#include <memory>

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>

namespace parley {

class CurlLoop {
 public:
  explicit CurlLoop(asio::any_io_executor executor);
  // Transfers still under way are taken off the loop; their awaiters are never resumed.
  ~CurlLoop();
  CurlLoop(const CurlLoop&) = delete;
  CurlLoop& operator=(const CurlLoop&) = delete;

  // Runs the transfer set up on `easy` (a CURL*, options set) to its end and gives its CURLcode.
  // The handle is off the loop again when the call returns.
  asio::awaitable<int> Perform(void* easy);

  // Takes `easy` off the loop if a transfer of it is under way (its awaiter is never resumed).
  void Forget(void* easy);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace parley

#endif  // PARLEY_WEB_CURL_LOOP_H_
