// The gateway simulator's server: accepts sending jobs on 127.0.0.1, answers each job header with
// a job reply carrying a fresh job id, reads the text or file message packets, acknowledges
// every `interval` messages (the interval of the job header; 50 when it announces none), and
// records each job (gate_record.h). The fault options make it misbehave on purpose, for tests.
#ifndef PARLEY_GATESIM_GATE_SERVER_H_
#define PARLEY_GATESIM_GATE_SERVER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

namespace asio {
class io_context;
}

namespace parley::gatesim {

struct GateOptions {
  std::string record_path;  // where job records are appended; empty for none
  bool refuse = false;      // job replies carry result '1'
  bool silent = false;      // nothing is ever sent back
  bool bad_type = false;    // the job reply starts with '7'
  bool split = false;       // replies go out one byte at a time, split_pause_ms apart
  int split_pause_ms = 5;
  bool ack_after_reply = false;  // an acknowledgement follows the job reply in the same write
  int64_t close_after = -1;      // close the connection after this many messages (0: instead of
                                 // the job reply); -1 never
  int64_t nak_at = -1;           // the first acknowledgement due at or after this message count
                                 // carries result '1'; -1 never
  int ack_delay_ms = 0;          // acknowledgements wait this long before they are written
  int job_id_width = 10;         // characters of a job id, 2 to 40
  std::string job_id;            // when set, the id of every job (cut to 40 bytes)
};

struct GateSummary {
  int64_t jobs = 0;
  int64_t messages = 0;
  int64_t bytes = 0;
  double seconds = 0;  // summed over jobs, job header to end
};

class GateServer {
 public:
  GateServer(asio::io_context& io, GateOptions options);
  ~GateServer();
  GateServer(const GateServer&) = delete;
  GateServer& operator=(const GateServer&) = delete;

  // Listens on 127.0.0.1:port (0 picks a free port). Returns the error on failure.
  std::error_code Listen(uint16_t port);
  uint16_t port() const;
  void Start();

  // Ends every open job (recorded with the end "signal") and stops accepting.
  void Stop();

  GateSummary summary() const;

  // The server's shared state; defined in the .cc file.
  class State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace parley::gatesim

#endif  // PARLEY_GATESIM_GATE_SERVER_H_
