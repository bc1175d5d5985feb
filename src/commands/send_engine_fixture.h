// Test support for the send commands: the engine binary started against the web service and
// gateway simulators and logged in as the simulator's user.
#ifndef PARLEY_COMMANDS_SEND_ENGINE_FIXTURE_H_
#define PARLEY_COMMANDS_SEND_ENGINE_FIXTURE_H_

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "client/link_client.h"
#include "link/message.h"
#include "testing/engine_process.h"
#include "testing/gate_sim_process.h"
#include "testing/web_sim_process.h"

namespace parley::testing {

class SendEngine {
 public:
  // Starts the engine with its home in `home` and its log in `log_dir`, pointed at `web` and
  // `gate` (gateway time-out 2 s), with `extra_args` and `env` ("NAME=value" entries added to
  // its environment), connects and logs in. Use inside ASSERT_NO_FATAL_FAILURE.
  void Start(const std::filesystem::path& home, const std::filesystem::path& log_dir,
             const WebSim& web, const GateSim& gate, std::vector<std::string> extra_args = {},
             const std::vector<std::string>& env = {}) {
    const uint16_t link_port = FreePort();
    std::vector<std::string> args{"--link-port",
                                  std::to_string(link_port),
                                  "--ui-program",
                                  "none",
                                  "--home",
                                  home.string(),
                                  "--web-base",
                                  web.base_url(),
                                  "--web-port",
                                  std::to_string(web.port()),
                                  "--gateway",
                                  "127.0.0.1:" + std::to_string(gate.port()),
                                  "--gateway-timeout",
                                  "2",
                                  "--log-level",
                                  "debug"};
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    process_ = std::make_unique<ChildProcess>(EngineBinary(), std::move(args),
                                              log_dir / "engine.log", env);
    ASSERT_TRUE(process_->WaitForLog("listening on", 10000)) << process_->Log();
    std::string error;
    client_ = std::make_unique<LinkClient>();
    ASSERT_TRUE(client_->Connect("127.0.0.1", link_port, &error)) << error;
    ASSERT_EQ(Exchange("LOGIN", "qxuser<QX>qxpass").substr(0, 6), "2<QX>1");
  }

  // Sends one message and returns the reply's body.
  std::string Exchange(std::string_view code, std::string_view body) {
    std::string error;
    RawMessage m;
    EXPECT_TRUE(client_->SendMessage(code, body, &error)) << error;
    EXPECT_TRUE(client_->ReadMessage(&m, 20000, &error)) << error;
    return m.body;
  }

  // Sends one message without waiting for its reply.
  void Post(std::string_view code, std::string_view body) {
    std::string error;
    EXPECT_TRUE(client_->SendMessage(code, body, &error)) << error;
  }

  // Reads the next reply, whichever message it answers.
  RawMessage Receive() {
    std::string error;
    RawMessage m;
    EXPECT_TRUE(client_->ReadMessage(&m, 20000, &error)) << error;
    return m;
  }

  // Ends the engine.
  void Stop() {
    client_.reset();
    process_.reset();
  }

  ChildProcess& process() { return *process_; }

 private:
  std::unique_ptr<ChildProcess> process_;
  std::unique_ptr<LinkClient> client_;
};

}  // namespace parley::testing

#endif  // PARLEY_COMMANDS_SEND_ENGINE_FIXTURE_H_
