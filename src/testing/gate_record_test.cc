#include "testing/gate_record.h"

#include <string>

#include <gtest/gtest.h>

namespace parley::testing {
namespace {

// Every byte value survives the record line, in texts and in package bytes.
TEST(GateRecordTest, LineRoundTrip) {
  std::string all_bytes;
  for (int i = 0; i < 256; ++i) all_bytes += static_cast<char>(i);
  GateJob job;
  job.number = 7;
  job.job_id = "J000000007";
  job.result = '1';
  job.header = JobHeader{"user", "p\"w\\", "\xC1\xA6\xB8\xF1", "IMT", 2, 50, "202401011230"};
  job.received = 2;
  job.bytes = 12345;
  job.seconds = 0.25;
  job.end = "client closed";
  job.messages = {GateMessage{"010", "02", all_bytes, 0, ""},
                  GateMessage{"011", "02", "", 256, ChecksumOf(all_bytes)}};
  job.acks = {GateAck{50, '0', 51}, GateAck{100, '1', -1}};
  job.packages = {GatePackage{ChecksumOf(all_bytes), all_bytes}};

  std::string line = ToJsonLine(job);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  std::optional<GateJob> back = ParseJsonLine(line);
  ASSERT_TRUE(back) << line;
  EXPECT_EQ(back->number, 7);
  EXPECT_EQ(back->job_id, job.job_id);
  EXPECT_EQ(back->result, '1');
  EXPECT_EQ(back->header.password, "p\"w\\");
  EXPECT_EQ(back->header.title, job.header.title);
  EXPECT_EQ(back->header.count, 2);
  EXPECT_EQ(back->header.reserve_date, "202401011230");
  EXPECT_EQ(back->bytes, 12345);
  EXPECT_DOUBLE_EQ(back->seconds, 0.25);
  ASSERT_EQ(back->messages.size(), 2u);
  EXPECT_EQ(back->messages[0].text, all_bytes);
  EXPECT_EQ(back->messages[1].size, 256);
  EXPECT_EQ(back->messages[1].checksum, ChecksumOf(all_bytes));
  ASSERT_EQ(back->acks.size(), 2u);
  EXPECT_EQ(back->acks[1].result, '1');
  EXPECT_EQ(back->acks[1].sent_at, -1);
  ASSERT_EQ(back->packages.size(), 1u);
  EXPECT_EQ(back->packages[0].bytes, all_bytes);

  EXPECT_FALSE(ParseJsonLine(line.substr(0, line.size() - 1)));
  EXPECT_FALSE(ParseJsonLine("{\"no\":1}"));
}

TEST(GateRecordTest, ChecksumIsFnv1a) {
  EXPECT_EQ(ChecksumOf(""), "cbf29ce484222325");
  EXPECT_EQ(ChecksumOf("a"), "af63dc4c8601ec8c");
  Checksum pieces;
  pieces.Add("fo");
  pieces.Add("o");
  EXPECT_EQ(pieces.Hex(), ChecksumOf("foo"));
}

}  // namespace
}  // namespace parley::testing
