#include "testing/gate_sim_process.h"

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace parley::testing {
namespace {

constexpr std::string_view kListening = "gatesim listening on 127.0.0.1:";

}  // namespace

std::string GateSimBinary() { return BuiltBinary("GATESIM_BIN", "gatesim"); }

GateSim::GateSim(const std::filesystem::path& dir, std::vector<std::string> extra_args)
    : record_path_(dir / "gatesim-jobs.jsonl") {
  std::vector<std::string> args{"--port", "0", "--record", record_path_.string()};
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  process_ = std::make_unique<ChildProcess>(GateSimBinary(), args, dir / "gatesim.log");
  if (!process_->WaitForLog(kListening, 10000)) {
    throw std::runtime_error("gatesim did not start: " + process_->Log());
  }
  std::string log = process_->Log();
  port_ = static_cast<uint16_t>(std::atoi(log.c_str() + log.find(kListening) + kListening.size()));
}

GateSim::~GateSim() { Stop(); }

std::string GateSim::Stop() {
  if (process_->Running()) {
    process_->Signal(SIGTERM);
    process_->Wait(5000, nullptr);
  }
  return process_->Log();
}

std::vector<GateJob> GateSim::Jobs() const {
  std::vector<GateJob> jobs;
  std::ifstream in(record_path_, std::ios::binary);
  std::string line;
  // A line still being written has no line end yet and is left for the next call.
  while (std::getline(in, line) && !in.eof()) {
    if (auto job = ParseJsonLine(line)) jobs.push_back(std::move(*job));
  }
  return jobs;
}

std::vector<GateJob> GateSim::WaitForJobs(size_t n, int timeout_ms) const {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    std::vector<GateJob> jobs = Jobs();
    if (jobs.size() >= n || std::chrono::steady_clock::now() >= deadline) return jobs;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace parley::testing
