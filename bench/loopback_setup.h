// The send setup of the send benchmarks: a gateway on loopback and the benchmark's account.
#ifndef PARLEY_BENCH_LOOPBACK_SETUP_H_
#define PARLEY_BENCH_LOOPBACK_SETUP_H_

#include <chrono>
#include <cstdint>
#include <string>

#include "send/gateway_job.h"

namespace parley {

// A job on executor to the gateway at 127.0.0.1:port, with the engine directory home.
inline SendSetup LoopbackSetup(const asio::any_io_executor& executor, uint16_t port,
                               const std::string& home) {
  SendSetup setup;
  setup.executor = executor;
  setup.gateway_host = "127.0.0.1";
  setup.gateway_port = port;
  setup.timeout = std::chrono::seconds(30);
  setup.module_dir = home + "/";
  setup.login_id = "qxuser";
  setup.password = "qxpass";
  return setup;
}

}  // namespace parley

#endif  // PARLEY_BENCH_LOOPBACK_SETUP_H_
