#include "send/gateway_records.h"

#include <algorithm>

#include "text/mbcs.h"

namespace parley {
namespace {

// Copies text into field, cutting it at a character boundary so that its NUL stays inside the
// field. Returns the number of bytes left out.
size_t PutCutField(std::span<char> record, Field field, std::string_view text) {
  if (text.size() <= field.max) {
    PutField(record, field, text);
    return 0;
  }
  std::string cut = CutToBytes(text, field.max);
  PutField(record, field, cut);
  return text.size() - cut.size();
}

// Zeroes out and returns status, for a refused record.
RecordStatus Refuse(std::span<char> out, const char* field) {
  std::fill(out.begin(), out.end(), '\0');
  return RecordStatus::Refused(field);
}

int64_t DecimalOrZero(std::span<const char> record, Field field) {
  return GetDecimal(record, field).value_or(0);
}

}  // namespace

std::string RecordStatus::ToString() const {
  if (!ok()) return std::string(refused_field_) + " does not fit its field";
  if (cut_bytes_ > 0) return "built, " + std::to_string(cut_bytes_) + " bytes cut";
  return "built";
}

RecordStatus BuildJobHeader(const JobHeader& header, std::span<char, kJobHeaderSize> out) {
  using namespace job_header;
  std::fill(out.begin(), out.end(), '\0');
  out[kType.offset] = kJobHeaderType;
  if (!PutField(out, kLoginId, header.login_id)) return Refuse(out, "login id");
  if (!PutField(out, kPassword, header.password)) return Refuse(out, "password");
  if (!PutField(out, kTypeCode, header.type_code)) return Refuse(out, "type code");
  if (header.count < 0 || !PutDecimal(out, kCount, static_cast<uint64_t>(header.count))) {
    return Refuse(out, "count");
  }
  if (header.interval < 0 || !PutDecimal(out, kInterval, static_cast<uint64_t>(header.interval))) {
    return Refuse(out, "interval");
  }
  if (!PutField(out, kReserveDate, header.reserve_date)) return Refuse(out, "reservation");
  return RecordStatus::Built(PutCutField(out, kTitle, header.title));
}

RecordStatus BuildTextMessage(std::string_view recipient, std::string_view callback,
                              std::string_view text, std::span<char, kTextMessageSize> out) {
  using namespace text_message;
  std::fill(out.begin(), out.end(), '\0');
  out[kType.offset] = kMessageType;
  if (!PutField(out, kRecipient, recipient)) return Refuse(out, "recipient");
  if (!PutField(out, kCallback, callback)) return Refuse(out, "callback");
  return RecordStatus::Built(PutCutField(out, kText, text));
}

RecordStatus BuildFileMessageHead(std::string_view recipient, std::string_view callback,
                                  int64_t length, std::span<char, kFileMessageHeadSize> out) {
  using namespace file_message;
  std::fill(out.begin(), out.end(), '\0');
  out[kType.offset] = kMessageType;
  if (!PutField(out, kRecipient, recipient)) return Refuse(out, "recipient");
  if (!PutField(out, kCallback, callback)) return Refuse(out, "callback");
  if (length < 0 || !PutDecimal(out, kLength, static_cast<uint64_t>(length))) {
    return Refuse(out, "file length");
  }
  return RecordStatus::Built();
}

RecordStatus BuildJobReply(char result, std::string_view job_id,
                           std::span<char, kJobReplySize> out) {
  using namespace job_reply;
  std::fill(out.begin(), out.end(), '\0');
  out[kType.offset] = kJobReplyType;
  out[kResult.offset] = result;
  if (!PutField(out, kJobId, job_id)) return Refuse(out, "job id");
  return RecordStatus::Built();
}

void BuildAcknowledgement(char result, std::span<char, kAcknowledgementSize> out) {
  out[acknowledgement::kType.offset] = kAcknowledgementType;
  out[acknowledgement::kResult.offset] = result;
}

std::optional<JobHeader> ParseJobHeader(std::span<const char> bytes) {
  using namespace job_header;
  if (bytes.size() < kJobHeaderSize || bytes[kType.offset] != kJobHeaderType) return std::nullopt;
  JobHeader header;
  header.login_id = GetField(bytes, kLoginId);
  header.password = GetField(bytes, kPassword);
  header.title = GetField(bytes, kTitle);
  header.type_code = GetField(bytes, kTypeCode);
  header.count = DecimalOrZero(bytes, kCount);
  header.interval = DecimalOrZero(bytes, kInterval);
  header.reserve_date = GetField(bytes, kReserveDate);
  return header;
}

std::optional<TextMessageView> ParseTextMessage(std::span<const char> bytes) {
  using namespace text_message;
  if (bytes.size() < kTextMessageSize || bytes[kType.offset] != kMessageType) return std::nullopt;
  return TextMessageView{GetField(bytes, kRecipient), GetField(bytes, kCallback),
                         GetField(bytes, kText)};
}

std::optional<FileMessageHeadView> ParseFileMessageHead(std::span<const char> bytes) {
  using namespace file_message;
  if (bytes.size() < kFileMessageHeadSize || bytes[kType.offset] != kMessageType) {
    return std::nullopt;
  }
  std::optional<int64_t> length = GetDecimal(bytes, kLength);
  if (!length) return std::nullopt;
  return FileMessageHeadView{GetField(bytes, kRecipient), GetField(bytes, kCallback), *length};
}

std::optional<JobReply> ParseJobReply(std::span<const char> bytes) {
  using namespace job_reply;
  if (bytes.size() < kJobReplySize || bytes[kType.offset] != kJobReplyType) return std::nullopt;
  return JobReply{bytes[kResult.offset], std::string(GetField(bytes, kJobId))};
}

std::optional<Acknowledgement> ParseAcknowledgement(std::span<const char> bytes) {
  using namespace acknowledgement;
  if (bytes.size() < kAcknowledgementSize || bytes[kType.offset] != kAcknowledgementType) {
    return std::nullopt;
  }
  return Acknowledgement{bytes[kResult.offset]};
}

ReplyKind ScanReply(std::span<const char> bytes) {
  if (bytes.empty()) return ReplyKind::kNeedMore;
  switch (bytes[0]) {
    case kJobReplyType:
      return bytes.size() >= kJobReplySize ? ReplyKind::kJobReply : ReplyKind::kNeedMore;
    case kAcknowledgementType:
      return bytes.size() >= kAcknowledgementSize ? ReplyKind::kAcknowledgement
                                                  : ReplyKind::kNeedMore;
    default:
      return ReplyKind::kBadType;
  }
}

}  // namespace parley
