// A readable summary of a record file (see gate_record.h): the jobs, their messages, a few
// composed texts and the sending rate, in UTF-8. gatesim --summary FILE prints it.
#ifndef PARLEY_GATESIM_RECORD_SUMMARY_H_
#define PARLEY_GATESIM_RECORD_SUMMARY_H_

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <vector>

#include "testing/gate_record.h"

namespace parley::gatesim {

// The simulator writes the gateway record of the test support (testing/gate_record.h).
using testing::Checksum;
using testing::ChecksumOf;
using testing::GateAck;
using testing::GateJob;
using testing::GateMessage;
using testing::GatePackage;
using testing::ParseJsonLine;
using testing::ToJsonLine;

struct RecordTotals {
  int64_t jobs = 0;
  int64_t messages = 0;   // message packets received in all jobs
  double seconds = 0;     // the jobs' times added up
  int64_t bad_lines = 0;  // lines that are not job records
};

// Reads every job line of a record file. Lines that are not job records are counted in
// *bad_lines (when given) and skipped.
std::vector<GateJob> ReadRecord(std::istream& in, int64_t* bad_lines = nullptr);

RecordTotals Totals(const std::vector<GateJob>& jobs);

// Writes the summary: one line per job (number, job id, type, count announced, messages
// received, seconds, messages per second, how it ended, title), up to `samples` messages of each
// job (recipient, callback, and the text, or the package size of a file message), and a closing
// line "summary: jobs=J messages=M seconds=S messages/s=R" for scripts.
void WriteSummary(const std::vector<GateJob>& jobs, size_t samples, std::ostream& out);

}  // namespace parley::gatesim

#endif  // PARLEY_GATESIM_RECORD_SUMMARY_H_
