// What qx's progress display costs a send: the same direct send of N recipients (100,000 by
// default) through qx's send command against the engine binary and both simulators, with the
// progress line forced on (STATE every 250 ms, the line redrawn) and off, in turns, each mode
// first in every other round.
//
//   qx_progress_bench [--recipients N] [--rounds R]
//
// Prints, per mode, the median wall time of the send command, qx's CPU and the engine's CPU over
// the rounds, and the overhead of the progress display in per cent of the wall time.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "testing/gate_sim_process.h"
#include "qx/exit_codes.h"
#include "qx/send_command.h"
#include "testing/engine_process.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

using Clock = std::chrono::steady_clock;

// User and system CPU seconds of a process, from /proc/<pid>/stat.
double ProcessCpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  long long utime = 0;
  long long stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::atoll(field.c_str());
    if (i == 15) stime = std::atoll(field.c_str());
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The engine binary and both simulators in a temporary folder: a fresh set for every send, so
// that no send finds what an earlier one left.
struct Rig {
  Rig()
      : web(dir.path(), {"--user", "qxuser:qxpass:1000000000"}),
        gate(dir.path()),
        port(testing::FreePort()),
        engine(testing::EngineBinary(),
               {"--link-port", std::to_string(port), "--ui-program", "none", "--home",
                dir.path().string(), "--web-base", web.base_url(), "--web-port",
                std::to_string(web.port()), "--gateway", "127.0.0.1:" + std::to_string(gate.port()),
                "--gateway-timeout", "30", "--log-level", "warn"},
               dir.path() / "engine.log") {
    if (!testing::WaitForPort(port, 10000)) throw std::runtime_error("the engine did not start");
  }

  testing::TempDir dir;
  testing::WebSim web;
  testing::GateSim gate;
  uint16_t port;
  testing::ChildProcess engine;
};

struct Figures {
  std::vector<double> wall, qx_cpu, engine_cpu;
};

}  // namespace
}  // namespace parley

int main(int argc, char** argv) {
  using namespace parley;
  int64_t recipients = 100000;
  int rounds = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--recipients") == 0) recipients = std::atoll(argv[i + 1]);
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
  }
  SendOptions options;
  std::string list;
  for (int64_t i = 0; i < recipients; ++i) {
    if (i > 0) list += ',';
    list += "010" + std::to_string(100000000 + i).substr(1);
  }
  options.to = {list};
  options.text = "progress bench";
  options.callback = "0212345678";
  options.login = "qxuser";
  options.password = "qxpass";
  options.yes = true;

  std::printf("qx send of %lld recipients, %d rounds per mode (medians)\n",
              static_cast<long long>(recipients), rounds);
  const char* modes[] = {"never", "always"};
  Figures figures[2];
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const int m = (round + turn) % 2;  // each mode goes first in every other round
      options.progress = modes[m];
      Rig rig;
      LinkTarget target;
      target.port = rig.port;
      target.timeout_seconds = 600;
      const testing::ChildProcess& engine = rig.engine;
      std::ostringstream out;
      std::ostringstream err;
      const double qx_before = CpuSeconds(RUSAGE_SELF);
      const double engine_before = ProcessCpuSeconds(engine.pid());
      const auto start = Clock::now();
      const int status = RunSendCommand(options, target, out, err);
      figures[m].wall.push_back(std::chrono::duration<double>(Clock::now() - start).count());
      figures[m].qx_cpu.push_back(CpuSeconds(RUSAGE_SELF) - qx_before);
      figures[m].engine_cpu.push_back(ProcessCpuSeconds(engine.pid()) - engine_before);
      std::printf("  round %d, %-6s: wall %.2f s, qx CPU %.2f s\n", round + 1, modes[m],
                  figures[m].wall.back(), figures[m].qx_cpu.back());
      if (std::getenv("QX_BENCH_VERBOSE") != nullptr) {
        std::fprintf(stderr, "%s: %s%s\n", modes[m], out.str().c_str(), err.str().c_str());
      }
      if (status != kExitOk) {
        std::fprintf(stderr, "send failed (%d): %s%s\n", status, out.str().c_str(),
                     err.str().c_str());
        const std::string log = engine.Log();
        std::fprintf(stderr, "engine log ends:\n%s\n",
                     log.substr(log.size() > 2000 ? log.size() - 2000 : 0).c_str());
        return 1;
      }
    }
  }
  std::printf("%-22s %10s %10s\n", "", "no progress", "progress");
  std::printf("%-22s %10.2f %10.2f\n", "wall s", Median(figures[0].wall), Median(figures[1].wall));
  std::printf("%-22s %10.2f %10.2f\n", "qx CPU s", Median(figures[0].qx_cpu),
              Median(figures[1].qx_cpu));
  std::printf("%-22s %10.2f %10.2f\n", "engine CPU s", Median(figures[0].engine_cpu),
              Median(figures[1].engine_cpu));
  std::printf("progress overhead: %+.1f %% of the wall time (target at most 5 %%)\n",
              100.0 * (Median(figures[1].wall) / Median(figures[0].wall) - 1.0));
  return 0;
}
