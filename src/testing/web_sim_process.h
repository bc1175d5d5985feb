// Test support: the web service simulator websim as a child process on a free port of 127.0.0.1,
// with the requests it received read back byte for byte.
#ifndef PARLEY_TESTING_WEB_SIM_PROCESS_H_
#define PARLEY_TESTING_WEB_SIM_PROCESS_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "testing/engine_process.h"

namespace parley::testing {

// The websim binary under test: $WEBSIM_BIN when set, else websim in the build directory.
std::string WebSimBinary();

class WebSim {
 public:
  // Starts websim on a free port, recording every request under dir/requests, its output in
  // dir/websim.log; extra_args are further options (for example "--user", "id:pass:100").
  // Throws std::runtime_error when it does not report its port within 10 seconds.
  explicit WebSim(const std::filesystem::path& dir, std::vector<std::string> extra_args = {});
  // Ends it with SIGTERM.
  ~WebSim();
  WebSim(const WebSim&) = delete;
  WebSim& operator=(const WebSim&) = delete;

  uint16_t port() const { return port_; }
  // "http://127.0.0.1", the address the engine's web client is pointed at (the port apart).
  std::string base_url() const { return "http://127.0.0.1"; }

  // The raw requests recorded so far (request line, headers and body as they arrived), in the
  // order they arrived. A request is recorded before it is answered.
  std::vector<std::string> Requests() const;

  // Sends "GET path_and_query" (for example "/_sim/stall?seconds=2&count=1") and returns the
  // reply body; throws std::runtime_error when the simulator cannot be reached.
  std::string Control(const std::string& path_and_query);

  // Everything the simulator printed so far.
  std::string Log() const { return process_->Log(); }

 private:
  std::filesystem::path record_dir_;
  std::unique_ptr<ChildProcess> process_;
  uint16_t port_ = 0;
};

}  // namespace parley::testing

#endif  // PARLEY_TESTING_WEB_SIM_PROCESS_H_
