// Fuzzes the gateway record parsers with arbitrary reply streams, and the builders with arbitrary
// field values, checking that whatever a builder accepts parses back to what was put in.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "send/gateway_records.h"

namespace {

using namespace parley;

// Walks a stream of gateway replies the way the sending socket does.
void ScanStream(std::span<const char> stream) {
  while (!stream.empty()) {
    const ReplyKind kind = ScanReply(stream);
    if (kind == ReplyKind::kNeedMore || kind == ReplyKind::kBadType) break;
    size_t used = 0;
    if (kind == ReplyKind::kJobReply) {
      const std::optional<JobReply> reply = ParseJobReply(stream);
      FUZZ_CHECK(reply.has_value());
      FUZZ_CHECK(reply->job_id.size() <= job_reply::kJobId.size);
      FUZZ_CHECK(reply->job_id.find('\0') == std::string::npos);
      used = kJobReplySize;
    } else {
      FUZZ_CHECK(ParseAcknowledgement(stream).has_value());
      used = kAcknowledgementSize;
    }
    FUZZ_CHECK(used <= stream.size());
    stream = stream.subspan(used);
  }
}

// Each parser on its own at the start of the bytes.
void ParseEach(std::span<const char> bytes) {
  if (auto header = ParseJobHeader(bytes)) {
    FUZZ_CHECK(header->count >= 0 && header->interval >= 0);
    FUZZ_CHECK(header->title.size() <= job_header::kTitle.size);
  }
  if (auto text = ParseTextMessage(bytes)) {
    FUZZ_CHECK(text->text.size() <= text_message::kText.size);
    FUZZ_CHECK(text->recipient.data() >= bytes.data() &&
               text->text.data() + text->text.size() <= bytes.data() + bytes.size());
  }
  if (auto head = ParseFileMessageHead(bytes)) {
    FUZZ_CHECK(head->length >= 0 && head->length <= 9'999'999'999);
  }
  if (auto reply = ParseJobReply(bytes)) {
    std::array<char, kJobReplySize> rebuilt;
    if (reply->job_id.size() <= kMaxJobIdBytes) {
      FUZZ_CHECK(BuildJobReply(reply->result, reply->job_id, rebuilt).ok());
      const auto again = ParseJobReply(rebuilt);
      FUZZ_CHECK(again && again->result == reply->result && again->job_id == reply->job_id);
    }
  }
}

std::string NoNul(std::string text) {
  std::replace(text.begin(), text.end(), '\0', ' ');
  return text;
}

// Builders: a record that was built parses back to its fields; a refused one is all zeros.
void BuildAndParse(FuzzedDataProvider& in) {
  JobHeader header;
  header.login_id = NoNul(in.ConsumeRandomLengthString(24));
  header.password = NoNul(in.ConsumeRandomLengthString(24));
  header.title = NoNul(in.ConsumeRandomLengthString(64));
  header.type_code = NoNul(in.ConsumeRandomLengthString(5));
  header.count = in.ConsumeIntegralInRange<int64_t>(-2, 1'100'000);
  header.interval = in.ConsumeIntegralInRange<int64_t>(-2, 11'000);
  header.reserve_date = NoNul(in.ConsumeRandomLengthString(16));

  std::array<char, kJobHeaderSize> record;
  record.fill('x');
  const RecordStatus status = BuildJobHeader(header, record);
  if (!status.ok()) {
    FUZZ_CHECK(std::all_of(record.begin(), record.end(), [](char c) { return c == 0; }));
  } else {
    const auto parsed = ParseJobHeader(record);
    FUZZ_CHECK(parsed.has_value());
    FUZZ_CHECK(parsed->login_id == header.login_id && parsed->password == header.password);
    FUZZ_CHECK(parsed->type_code == header.type_code);
    FUZZ_CHECK(parsed->count == header.count && parsed->interval == header.interval);
    FUZZ_CHECK(parsed->reserve_date == header.reserve_date);
    FUZZ_CHECK(parsed->title.size() + status.cut_bytes() == header.title.size());
    FUZZ_CHECK(header.title.starts_with(parsed->title));
  }

  const std::string recipient = NoNul(in.ConsumeRandomLengthString(24));
  const std::string callback = NoNul(in.ConsumeRandomLengthString(24));
  const std::string text = NoNul(in.ConsumeRandomLengthString(120));
  std::array<char, kTextMessageSize> message;
  const RecordStatus built = BuildTextMessage(recipient, callback, text, message);
  if (built.ok()) {
    const auto parsed = ParseTextMessage(message);
    FUZZ_CHECK(parsed && parsed->recipient == recipient && parsed->callback == callback);
    FUZZ_CHECK(parsed->text.size() + built.cut_bytes() == text.size());
    FUZZ_CHECK(std::string_view(text).starts_with(parsed->text));
  }

  const int64_t length = in.ConsumeIntegralInRange<int64_t>(-1, 1'000'000'001);
  std::array<char, kFileMessageHeadSize> head;
  if (BuildFileMessageHead(recipient, callback, length, head).ok()) {
    const auto parsed = ParseFileMessageHead(head);
    FUZZ_CHECK(parsed && parsed->length == length && parsed->recipient == recipient);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const char> bytes(reinterpret_cast<const char*>(data), size);
  ScanStream(bytes);
  ParseEach(bytes);
  FuzzedDataProvider in(data, size);
  BuildAndParse(in);
  return 0;
}
