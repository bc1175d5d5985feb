#include "gatesim/record_summary.h"

#include <cstdio>
#include <istream>
#include <ostream>
#include <string>

#include "text/cp949.h"

namespace parley::gatesim {
namespace {

double Rate(int64_t messages, double seconds) {
  return seconds > 0 ? static_cast<double>(messages) / seconds : 0.0;
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

std::vector<GateJob> ReadRecord(std::istream& in, int64_t* bad_lines) {
  std::vector<GateJob> jobs;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    if (std::optional<GateJob> job = ParseJsonLine(line)) {
      jobs.push_back(std::move(*job));
    } else if (bad_lines) {
      ++*bad_lines;
    }
  }
  return jobs;
}

RecordTotals Totals(const std::vector<GateJob>& jobs) {
  RecordTotals totals;
  for (const GateJob& job : jobs) {
    ++totals.jobs;
    totals.messages += job.received;
    totals.seconds += job.seconds;
  }
  return totals;
}

void WriteSummary(const std::vector<GateJob>& jobs, size_t samples, std::ostream& out) {
  char line[256];
  out << "job  job id          type  count  received  seconds  msg/s  end            title\n";
  for (const GateJob& job : jobs) {
    std::snprintf(line, sizeof line, "%-4lld %-15s %-5s %6lld %9lld %8.3f %6.0f  %-14s ",
                  static_cast<long long>(job.number), job.job_id.c_str(),
                  job.header.type_code.c_str(), static_cast<long long>(job.header.count),
                  static_cast<long long>(job.received), job.seconds,
                  Rate(job.received, job.seconds), job.end.c_str());
    out << line << AnsiToUtf8(job.header.title) << "\n";
  }
  for (const GateJob& job : jobs) {
    for (size_t i = 0; i < job.messages.size() && i < samples; ++i) {
      const GateMessage& m = job.messages[i];
      out << "  job " << job.number << ": " << m.recipient << " <- " << m.callback << ": ";
      if (m.checksum.empty()) {
        out << OneLine(AnsiToUtf8(m.text)) << "\n";
      } else {
        out << "package of " << m.size << " bytes (" << m.checksum << ")\n";
      }
    }
  }
  const RecordTotals totals = Totals(jobs);
  std::snprintf(line, sizeof line,
                "summary: jobs=%lld messages=%lld seconds=%.3f messages/s=%.0f\n",
                static_cast<long long>(totals.jobs), static_cast<long long>(totals.messages),
                totals.seconds, Rate(totals.messages, totals.seconds));
  out << line;
}

}  // namespace parley::gatesim
