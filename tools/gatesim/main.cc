// gatesim: a message gateway simulator for tests and benchmarks. Listens on 127.0.0.1, takes
// sending jobs as the gateway does and records them (see gate_record.h and gate_server.h).
//
//   gatesim --port 0 --record jobs.jsonl [--refuse] [--silent] [--close-after N] [--nak-at N]
//           [--split] [--bad-type] [--ack-after-reply] [--ack-delay-ms N] [--job-id-width N]
//           [--job-id TEXT]
//
// Prints "gatesim listening on 127.0.0.1:PORT" once listening, a line per finished job, and a
// summary line when it ends on SIGTERM or SIGINT.
//
//   gatesim --summary jobs.jsonl [--samples N]
//
// prints a readable summary of a record file (see record_summary.h) and ends.
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>
#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>

#include "gatesim/gate_server.h"
#include "gatesim/record_summary.h"

int main(int argc, char** argv) {
  CLI::App app{"gatesim: a message gateway simulator on 127.0.0.1."};
  uint16_t port = 4001;
  parley::gatesim::GateOptions options;
  app.add_option("--port", port, "Port to listen on; 0 picks a free one")->capture_default_str();
  app.add_option("--record", options.record_path,
                 "Append one JSON line per finished job to this file");
  app.add_flag("--refuse", options.refuse, "Refuse every job (job reply result '1')");
  app.add_flag("--silent", options.silent, "Never send anything back");
  app.add_option("--close-after", options.close_after,
                 "Close the connection after N messages (0: instead of the job reply)");
  app.add_option("--nak-at", options.nak_at,
                 "The first acknowledgement due at or after message N is negative");
  app.add_flag("--split", options.split, "Send replies one byte at a time");
  app.add_option("--split-pause-ms", options.split_pause_ms, "Pause between split pieces")
      ->capture_default_str();
  app.add_flag("--bad-type", options.bad_type, "Start the job reply with the type byte '7'");
  app.add_flag("--ack-after-reply", options.ack_after_reply,
               "Send an acknowledgement right behind the job reply, in the same write");
  app.add_option("--ack-delay-ms", options.ack_delay_ms, "Hold each acknowledgement this long")
      ->capture_default_str();
  app.add_option("--job-id-width", options.job_id_width, "Characters of a job id (2-40)")
      ->capture_default_str();
  app.add_option("--job-id", options.job_id, "Give every job this id (at most 40 bytes)");
  std::string summary_path;
  size_t samples = 3;
  app.add_option("--summary", summary_path, "Print a summary of this record file and end");
  app.add_option("--samples", samples, "Messages shown per job in the summary")
      ->capture_default_str();
  CLI11_PARSE(app, argc, argv);

  if (!summary_path.empty()) {
    std::ifstream in(summary_path);
    if (!in) {
      std::fprintf(stderr, "gatesim: cannot read %s\n", summary_path.c_str());
      return 1;
    }
    int64_t bad_lines = 0;
    std::vector<parley::gatesim::GateJob> jobs = parley::gatesim::ReadRecord(in, &bad_lines);
    parley::gatesim::WriteSummary(jobs, samples, std::cout);
    if (bad_lines > 0)
      std::fprintf(stderr, "gatesim: %lld lines skipped\n", static_cast<long long>(bad_lines));
    return 0;
  }

  asio::io_context io(1);
  parley::gatesim::GateServer server(io, options);
  if (std::error_code ec = server.Listen(port)) {
    std::fprintf(stderr, "gatesim: cannot listen on 127.0.0.1:%u: %s\n", port,
                 ec.message().c_str());
    return 1;
  }
  server.Start();
  std::printf("gatesim listening on 127.0.0.1:%u\n", server.port());
  std::fflush(stdout);

  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](const std::error_code& ec, int) {
    if (ec) return;
    server.Stop();
    io.stop();
  });
  io.run();

  parley::gatesim::GateSummary s = server.summary();
  std::printf("gatesim summary: jobs=%lld messages=%lld bytes=%lld seconds=%.3f messages/s=%.0f\n",
              static_cast<long long>(s.jobs), static_cast<long long>(s.messages),
              static_cast<long long>(s.bytes), s.seconds,
              s.seconds > 0 ? static_cast<double>(s.messages) / s.seconds : 0.0);
  std::fflush(stdout);
  return 0;
}
