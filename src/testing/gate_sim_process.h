// Test support: the gateway simulator gatesim as a child process on a free port of 127.0.0.1,
// with its job records read back.
#ifndef PARLEY_TESTING_GATE_SIM_PROCESS_H_
#define PARLEY_TESTING_GATE_SIM_PROCESS_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "testing/engine_process.h"
#include "testing/gate_record.h"

namespace parley::testing {

// The gatesim binary under test: $GATESIM_BIN when set, else gatesim in the build directory.
std::string GateSimBinary();

class GateSim {
 public:
  // Starts gatesim on a free port, recording to dir/gatesim-jobs.jsonl, its output in
  // dir/gatesim.log; extra_args are its fault options. Throws std::runtime_error when it does
  // not report its port within 10 seconds.
  GateSim(const std::filesystem::path& dir, std::vector<std::string> extra_args = {});
  // Ends it with SIGTERM (jobs still open are recorded with the end "signal").
  ~GateSim();
  GateSim(const GateSim&) = delete;
  GateSim& operator=(const GateSim&) = delete;

  uint16_t port() const { return port_; }

  // The jobs recorded so far, in the order they ended.
  std::vector<GateJob> Jobs() const;
  // Waits up to timeout_ms until at least n jobs are recorded and returns them all (fewer on
  // time-out).
  std::vector<GateJob> WaitForJobs(size_t n, int timeout_ms = 10000) const;
  // Stops the simulator and returns everything it printed.
  std::string Stop();
  std::string Log() const { return process_->Log(); }

 private:
  std::filesystem::path record_path_;
  std::unique_ptr<ChildProcess> process_;
  uint16_t port_ = 0;
};

}  // namespace parley::testing

#endif  // PARLEY_TESTING_GATE_SIM_PROCESS_H_
