#include "send/gateway_records.h"

#include <array>
#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace parley {
namespace {

// text followed by NUL bytes up to size.
std::string Pad(std::string_view text, size_t size) {
  std::string field(text);
  field.resize(size, '\0');
  return field;
}

template <size_t N>
std::string Bytes(const std::array<char, N>& record) {
  return std::string(record.data(), N);
}

JobHeader SampleHeader() {
  return JobHeader{"user01", "secret", "title", "SMS", 120, 50, "202401011230"};
}

TEST(GatewayRecordsTest, JobHeaderBytes) {
  JobHeader header = SampleHeader();
  header.title = std::string(49, 'T');
  std::array<char, kJobHeaderSize> record;
  RecordStatus status = BuildJobHeader(header, record);
  ASSERT_TRUE(status.ok()) << status.ToString();
  EXPECT_EQ(status.cut_bytes(), 0u);
  std::string expected = "1" + Pad("user01", 21) + Pad("secret", 21) + Pad(header.title, 51) +
                         Pad("SMS", 4) + Pad("120", 7) + Pad("50", 5) + Pad("202401011230", 13);
  ASSERT_EQ(expected.size(), 123u);
  EXPECT_EQ(Bytes(record), expected);
  // The 49-byte title fills bytes 43-91 and leaves its NUL at 92 and a zero at 93.
  EXPECT_EQ(record[91], 'T');
  EXPECT_EQ(record[92], '\0');
  EXPECT_EQ(record[93], '\0');
}

TEST(GatewayRecordsTest, MessagePacketBytes) {
  std::array<char, kTextMessageSize> text;
  ASSERT_TRUE(BuildTextMessage("01012345678", "021234567", "a<b>c \xC7\xD1", text).ok());
  EXPECT_EQ(Bytes(text),
            "3" + Pad("01012345678", 21) + Pad("021234567", 21) + Pad("a<b>c \xC7\xD1", 101));

  std::array<char, kFileMessageHeadSize> head;
  ASSERT_TRUE(BuildFileMessageHead("01012345678", "021234567", 2500, head).ok());
  EXPECT_EQ(Bytes(head), "3" + Pad("01012345678", 21) + Pad("021234567", 21) + Pad("2500", 10));
}

// Fields that do not fit: the title and the message text are cut at a character boundary, the
// rest refuse the record, which is then left all zero.
TEST(GatewayRecordsTest, OverlongFields) {
  const std::string kHan = "\xC7\xD1";  // one two-byte character
  struct Case {
    const char* name;
    std::function<RecordStatus(std::span<char>)> build;
    const char* refused;  // nullptr when built
    size_t cut;
  };
  auto header = [](std::function<void(JobHeader&)> change) {
    return [change](std::span<char> out) {
      JobHeader h = SampleHeader();
      change(h);
      return BuildJobHeader(h, out.first<kJobHeaderSize>());
    };
  };
  auto text = [](std::string r, std::string c, std::string t) {
    return [=](std::span<char> out) {
      return BuildTextMessage(r, c, t, out.first<kTextMessageSize>());
    };
  };
  auto head = [](std::string r, int64_t length) {
    return [=](std::span<char> out) {
      return BuildFileMessageHead(r, "0212345678", length, out.first<kFileMessageHeadSize>());
    };
  };
  const Case cases[] = {
      {"login id 20", header([](JobHeader& h) { h.login_id.assign(20, 'u'); }), "login id", 0},
      {"password 20", header([](JobHeader& h) { h.password.assign(20, 'p'); }), "password", 0},
      {"type code 4", header([](JobHeader& h) { h.type_code = "SMSX"; }), "type code", 0},
      {"count 999999", header([](JobHeader& h) { h.count = 999999; }), nullptr, 0},
      {"count 1000000", header([](JobHeader& h) { h.count = 1000000; }), "count", 0},
      {"count -1", header([](JobHeader& h) { h.count = -1; }), "count", 0},
      {"interval 10000", header([](JobHeader& h) { h.interval = 10000; }), "interval", 0},
      {"reservation 13", header([](JobHeader& h) { h.reserve_date.assign(13, '2'); }),
       "reservation", 0},
      {"title 50", header([](JobHeader& h) { h.title.assign(50, 't'); }), nullptr, 1},
      {"title 48 + han", header([&](JobHeader& h) { h.title = std::string(48, 't') + kHan; }),
       nullptr, 2},
      {"recipient 19", text(std::string(19, '1'), "02", "x"), nullptr, 0},
      {"recipient 20", text(std::string(20, '1'), "02", "x"), "recipient", 0},
      {"callback 20", text("010", std::string(20, '2'), "x"), "callback", 0},
      {"text 99", text("010", "02", std::string(99, 'x')), nullptr, 0},
      {"text 100", text("010", "02", std::string(100, 'x')), nullptr, 1},
      {"text 98 + han", text("010", "02", std::string(98, 'x') + kHan), nullptr, 2},
      {"file length 9 digits", head("010", 999'999'999), nullptr, 0},
      {"file length 10 digits", head("010", 1'000'000'000), "file length", 0},
      {"file recipient 20", head(std::string(20, '1'), 10), "recipient", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<char, kTextMessageSize> record;  // the longest of the three records
    record.fill('\x7f');
    RecordStatus status = c.build(record);
    if (c.refused) {
      ASSERT_FALSE(status.ok());
      EXPECT_STREQ(status.refused_field(), c.refused);
      // The record is zeroed as far as the builder's size reaches.
      EXPECT_EQ(record[0], '\0');
      EXPECT_EQ(record[42], '\0');
    } else {
      ASSERT_TRUE(status.ok()) << status.ToString();
      EXPECT_EQ(status.cut_bytes(), c.cut);
    }
  }
}

TEST(GatewayRecordsTest, CutTitleAndTextKeepTheirNul) {
  std::array<char, kJobHeaderSize> header;
  JobHeader h = SampleHeader();
  h.title = std::string(48, 't') + "\xC7\xD1";
  ASSERT_TRUE(BuildJobHeader(h, header).ok());
  EXPECT_EQ(ParseJobHeader(header)->title, std::string(48, 't'));
  EXPECT_EQ(header[job_header::kTypeCode.offset], 'S');

  std::array<char, kTextMessageSize> text;
  ASSERT_TRUE(BuildTextMessage("010", "02", std::string(120, 'x'), text).ok());
  EXPECT_EQ(ParseTextMessage(text)->text, std::string(99, 'x'));
  EXPECT_EQ(text[143], '\0');
}

TEST(GatewayRecordsTest, SentRecordsParseBack) {
  std::array<char, kJobHeaderSize> header;
  ASSERT_TRUE(BuildJobHeader(SampleHeader(), header).ok());
  std::optional<JobHeader> h = ParseJobHeader(header);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->login_id, "user01");
  EXPECT_EQ(h->password, "secret");
  EXPECT_EQ(h->title, "title");
  EXPECT_EQ(h->type_code, "SMS");
  EXPECT_EQ(h->count, 120);
  EXPECT_EQ(h->interval, 50);
  EXPECT_EQ(h->reserve_date, "202401011230");
  EXPECT_FALSE(ParseJobHeader(std::span<const char>(header).first(122)));

  std::array<char, kFileMessageHeadSize> head;
  ASSERT_TRUE(BuildFileMessageHead("010", "02", 2663, head).ok());
  EXPECT_EQ(ParseFileMessageHead(head)->length, 2663);
  head[file_message::kLength.offset] = 'x';
  EXPECT_FALSE(ParseFileMessageHead(head)) << "a length that is not a number cannot frame a file";
}

TEST(GatewayRecordsTest, JobReply) {
  const std::string id40(40, 'J');
  struct Case {
    const char* name;
    std::string bytes;
    bool parsed;
    char result;
    std::string job_id;
  };
  const Case cases[] = {
      {"accepted", "20" + Pad("JOB1", 41), true, '0', "JOB1"},
      {"refused", "21" + Pad("JOB1", 41), true, '1', "JOB1"},
      {"40-character id", "20" + id40 + '\0', true, '0', id40},
      {"id without NUL stays in its field", "20" + std::string(41, 'K') + "4", true, '0',
       std::string(41, 'K')},
      {"one byte short", "20" + Pad("JOB1", 40), false, 0, ""},
      {"wrong type", "40" + Pad("JOB1", 41), false, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<JobReply> reply = ParseJobReply(c.bytes);
    ASSERT_EQ(reply.has_value(), c.parsed);
    if (!reply) continue;
    EXPECT_EQ(reply->result, c.result);
    EXPECT_EQ(reply->accepted(), c.result == '0');
    EXPECT_EQ(reply->job_id, c.job_id);
  }

  std::array<char, kJobReplySize> built;
  ASSERT_TRUE(BuildJobReply('0', id40, built).ok());
  EXPECT_EQ(Bytes(built), "20" + id40 + '\0');
  EXPECT_FALSE(BuildJobReply('0', id40 + "X", built).ok());
}

TEST(GatewayRecordsTest, AcknowledgementAndReplyScan) {
  EXPECT_TRUE(ParseAcknowledgement(std::string("40"))->ok());
  EXPECT_FALSE(ParseAcknowledgement(std::string("41"))->ok());
  EXPECT_FALSE(ParseAcknowledgement(std::string("4")));
  EXPECT_FALSE(ParseAcknowledgement(std::string("20")));

  struct Case {
    std::string bytes;
    ReplyKind kind;
  };
  const Case cases[] = {
      {"", ReplyKind::kNeedMore},
      {"2", ReplyKind::kNeedMore},
      {"20" + std::string(40, 'J'), ReplyKind::kNeedMore},
      {"20" + std::string(41, 'J'), ReplyKind::kJobReply},
      {"20" + std::string(41, 'J') + "40", ReplyKind::kJobReply},
      {"4", ReplyKind::kNeedMore},
      {"40", ReplyKind::kAcknowledgement},
      {"4020", ReplyKind::kAcknowledgement},
      {"7", ReplyKind::kBadType},
      {std::string(1, '\0'), ReplyKind::kBadType},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScanReply(c.bytes), c.kind) << "bytes: " << c.bytes;
  }
}

}  // namespace
}  // namespace parley
