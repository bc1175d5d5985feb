// CountSink: a gateway for benchmarks that only reads and counts, so that a measurement shows the
// sender and not the gateway. It listens on a loopback port and serves one connection on a thread
// of its own: it answers the job header with an accepted job reply and every interval-th message
// with an acknowledgement. Of the stream it parses only the job header and each file message head
// (for the length that frames the file); message bodies are read into one buffer and dropped.
#ifndef PARLEY_BENCH_COUNT_SINK_H_
#define PARLEY_BENCH_COUNT_SINK_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace parley {

class CountSink {
 public:
  struct Counts {
    int64_t bytes = 0;     // every byte read, the job header included
    int64_t messages = 0;  // whole message packets read
    // When the last message the job header announced was read whole.
    std::chrono::steady_clock::time_point last_message_at;
    std::string error;  // empty unless the stream broke the framing or a socket call failed
  };

  // Listens on 127.0.0.1 (a free port) and starts the thread; throws when the port cannot be had.
  CountSink();
  // Closes the listening socket and joins the thread.
  ~CountSink();
  CountSink(const CountSink&) = delete;
  CountSink& operator=(const CountSink&) = delete;

  uint16_t port() const { return port_; }

  // Waits until the sender has closed the connection and returns what was read.
  Counts Wait();

 private:
  void Serve();

  int listen_fd_ = -1;
  uint16_t port_ = 0;
  Counts counts_;
  std::thread thread_;
};

}  // namespace parley

#endif  // PARLEY_BENCH_COUNT_SINK_H_
