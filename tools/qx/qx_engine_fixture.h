// The engine binary with the web service and gateway simulators, for running qx sub-commands
// against them as a user would (one connection per command).
#ifndef PARLEY_QX_QX_ENGINE_FIXTURE_H_
#define PARLEY_QX_QX_ENGINE_FIXTURE_H_

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qx/link_session.h"
#include "qx/login_command.h"
#include "testing/engine_process.h"
#include "testing/gate_sim_process.h"
#include "testing/web_sim_process.h"

namespace parley {

class QxEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target_.port = testing::FreePort();
    target_.timeout_seconds = 20;
    engine_ = StartEngine(dir_.path(), target_.port, web_, gate_.port());
    ASSERT_TRUE(engine_->WaitForLog("listening on", 10000)) << engine_->Log();
  }

 public:
  // The engine binary on link port `port` with its home in dir, against web and a gateway on
  // gate_port (2 s gateway time-out); wait for "listening on" in its log.
  static std::unique_ptr<testing::ChildProcess> StartEngine(const std::filesystem::path& dir,
                                                            uint16_t port,
                                                            const testing::WebSim& web,
                                                            uint16_t gate_port) {
    return std::make_unique<testing::ChildProcess>(
        testing::EngineBinary(),
        std::vector<std::string>{
            "--link-port", std::to_string(port), "--ui-program", "none", "--home", dir.string(),
            "--web-base", web.base_url(), "--web-port", std::to_string(web.port()), "--gateway",
            "127.0.0.1:" + std::to_string(gate_port), "--gateway-timeout", "2"},
        dir / "engine.log");
  }

 protected:
  // Runs a sub-command, keeping its output in out_ and err_.
  template <typename Run>
  int Qx(Run run) {
    out_.str("");
    err_.str("");
    return run(target_, out_, err_);
  }

  int Login(LoginOptions options) {
    return Qx([&](auto& t, auto& o, auto& e) { return RunLoginCommand(options, t, o, e); });
  }

  testing::TempDir dir_;
  testing::WebSim web_{dir_.path()};
  testing::GateSim gate_{dir_.path()};
  std::unique_ptr<testing::ChildProcess> engine_;
  LinkTarget target_;
  std::ostringstream out_;
  std::ostringstream err_;
};

}  // namespace parley

#endif  // PARLEY_QX_QX_ENGINE_FIXTURE_H_
