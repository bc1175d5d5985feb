// The record summary over job lines written by the record format itself.
#include "gatesim/record_summary.h"

#include <sstream>

#include <gtest/gtest.h>

namespace parley::gatesim {
namespace {

GateJob TextJob(int64_t number, int64_t messages, double seconds) {
  GateJob job;
  job.number = number;
  job.job_id = "J" + std::to_string(number);
  job.result = '0';
  job.header.type_code = "SMS";
  job.header.title = "\xC1\xA6\xB8\xF1";  // "제목" in CP949
  job.header.count = messages;
  job.received = messages;
  job.seconds = seconds;
  job.end = "client closed";
  for (int64_t i = 0; i < messages; ++i) {
    job.messages.push_back(
        {"0101111000" + std::to_string(i), "021", "\xBE\xC8\xB3\xE7 " + std::to_string(i), 0, ""});
  }
  return job;
}

TEST(RecordSummaryTest, TotalsSamplesAndBadLines) {
  GateJob file_job = TextJob(2, 1, 0.5);
  file_job.header.type_code = "IMT";
  file_job.messages[0].text.clear();
  file_job.messages[0].size = 2663;
  file_job.messages[0].checksum = "00112233aabbccdd";
  std::stringstream record;
  record << ToJsonLine(TextJob(1, 4, 1.5)) << "\n"
         << "not a job\n\n"
         << ToJsonLine(file_job) << "\n";

  int64_t bad = 0;
  std::vector<GateJob> jobs = ReadRecord(record, &bad);
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(bad, 1);
  RecordTotals totals = Totals(jobs);
  EXPECT_EQ(totals.messages, 5);
  EXPECT_DOUBLE_EQ(totals.seconds, 2.0);

  std::ostringstream out;
  WriteSummary(jobs, 2, out);
  const std::string text = out.str();
  EXPECT_NE(text.find("제목"), std::string::npos) << text;    // titles in UTF-8
  EXPECT_NE(text.find("안녕 1"), std::string::npos) << text;  // two samples of job 1...
  EXPECT_EQ(text.find("안녕 2"), std::string::npos) << text;  // ...and no more
  EXPECT_NE(text.find("package of 2663 bytes"), std::string::npos) << text;
  EXPECT_NE(text.find("summary: jobs=2 messages=5 seconds=2.000 messages/s=2\n"), std::string::npos)
      << text;
}

TEST(RecordSummaryTest, EmptyRecord) {
  std::istringstream record("");
  std::ostringstream out;
  WriteSummary(ReadRecord(record), 3, out);
  EXPECT_NE(out.str().find("summary: jobs=0 messages=0 seconds=0.000 messages/s=0"),
            std::string::npos);
}

}  // namespace
}  // namespace parley::gatesim
