// The records exchanged with the message gateway: one TCP connection per sending job.
//
// The engine sends a job header ('1'), reads the job reply ('2') with the job id, then sends one
// message packet ('3') per recipient and reads an acknowledgement ('4') after every 50 messages.
// Every record is fixed-layout: text fields are CP949 bytes followed by NUL bytes up to the end
// of the field (the text always ends inside its field), numbers are decimal ASCII text. There
// are no length prefixes and no checksums.
//
// Offset, size, content and (in brackets) the most text bytes a field carries:
//
// Job header, 123 bytes:                     Text message packet, 144 bytes:
//   0   1  type '1'                            0   1  type '3'
//   1  21  login id [19]                       1  21  recipient number [19]
//  22  21  password [19]                      22  21  callback number [19]
//  43  51  job title [49]                     43 101  message text [99]
//  94   4  message type code [3]
//  98   7  recipients, decimal [6]           File message head, 53 bytes, then the file:
// 105   5  ack interval, decimal [4]           0   1  type '3'
// 110  13  reservation text [12]               1  21  recipient number [19]
//                                             22  21  callback number [19]
// Job reply, 43 bytes:                        43  10  file length, decimal [9]
//   0   1  type '2'
//   1   1  result, '0' accepted              Acknowledgement, 2 bytes:
//   2  41  job id [40]                         0   1  type '4'
//                                              1   1  result, '0' taken
//
// A text too long for its field is never written past it. The job title and the message text are
// cut at a character boundary and the cut is reported (RecordStatus::cut_bytes); every other
// field is refused, since a cut login, number, type code or reservation would send something
// other than what was asked.
#ifndef PARLEY_SEND_GATEWAY_RECORDS_H_
#define PARLEY_SEND_GATEWAY_RECORDS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "send/fixed_record.h"

namespace parley {

inline constexpr char kJobHeaderType = '1';
inline constexpr char kJobReplyType = '2';
inline constexpr char kMessageType = '3';
inline constexpr char kAcknowledgementType = '4';
inline constexpr char kResultOk = '0';

inline constexpr size_t kJobHeaderSize = 1 + 21 + 21 + 51 + 4 + 7 + 5 + 13;
inline constexpr size_t kTextMessageSize = 1 + 21 + 21 + 101;
inline constexpr size_t kFileMessageHeadSize = 1 + 21 + 21 + 10;
inline constexpr size_t kJobReplySize = 1 + 1 + 41;
inline constexpr size_t kAcknowledgementSize = 1 + 1;
inline constexpr size_t kLongestReplySize = kJobReplySize;

// Messages between acknowledgements; the engine announces it in every job header.
inline constexpr int kAckInterval = 50;

namespace job_header {
inline constexpr Field kType{0, 1, 1};
inline constexpr Field kLoginId{1, 21, 19};
inline constexpr Field kPassword{22, 21, 19};
inline constexpr Field kTitle{43, 51, 49};
inline constexpr Field kTypeCode{94, 4, 3};
inline constexpr Field kCount{98, 7, 6};
inline constexpr Field kInterval{105, 5, 4};
inline constexpr Field kReserveDate{110, 13, 12};
static_assert(kReserveDate.end() == kJobHeaderSize);
}  // namespace job_header

namespace text_message {
inline constexpr Field kType{0, 1, 1};
inline constexpr Field kRecipient{1, 21, 19};
inline constexpr Field kCallback{22, 21, 19};
inline constexpr Field kText{43, 101, 99};
static_assert(kText.end() == kTextMessageSize);
}  // namespace text_message

namespace file_message {
inline constexpr Field kType{0, 1, 1};
inline constexpr Field kRecipient{1, 21, 19};
inline constexpr Field kCallback{22, 21, 19};
inline constexpr Field kLength{43, 10, 9};
static_assert(kLength.end() == kFileMessageHeadSize);
}  // namespace file_message

namespace job_reply {
inline constexpr Field kType{0, 1, 1};
inline constexpr Field kResult{1, 1, 1};
inline constexpr Field kJobId{2, 41, 40};
static_assert(kJobId.end() == kJobReplySize);
}  // namespace job_reply

namespace acknowledgement {
inline constexpr Field kType{0, 1, 1};
inline constexpr Field kResult{1, 1, 1};
static_assert(kResult.end() == kAcknowledgementSize);
}  // namespace acknowledgement

// The most each field carries.
inline constexpr size_t kMaxTitleBytes = job_header::kTitle.max;         // 49
inline constexpr size_t kMaxNumberBytes = text_message::kRecipient.max;  // 19
inline constexpr size_t kMaxTextBytes = text_message::kText.max;         // 99
inline constexpr size_t kMaxJobIdBytes = job_reply::kJobId.max;          // 40
inline constexpr int64_t kMaxRecipientCount = 999'999;                   // 6 digits
inline constexpr int64_t kMaxFileLength = 999'999'999;                   // 9 digits

// The outcome of building a record: built whole, built with the title or text cut to fit, or
// refused because a field that may not be cut is too long (or a number out of range).
class RecordStatus {
 public:
  static RecordStatus Built(size_t cut_bytes = 0) { return RecordStatus(nullptr, cut_bytes); }
  static RecordStatus Refused(const char* field) { return RecordStatus(field, 0); }

  bool ok() const { return refused_field_ == nullptr; }
  // The field that did not fit ("login id", "recipient", ...); nullptr when built.
  const char* refused_field() const { return refused_field_; }
  // Bytes of the title or message text left out so that the rest fits; 0 when nothing was cut.
  size_t cut_bytes() const { return cut_bytes_; }
  std::string ToString() const;

 private:
  RecordStatus(const char* field, size_t cut_bytes)
      : refused_field_(field), cut_bytes_(cut_bytes) {}
  const char* refused_field_;
  size_t cut_bytes_;
};

struct JobHeader {
  std::string login_id;             // at most 19 bytes
  std::string password;             // at most 19 bytes
  std::string title;                // cut to 49 bytes
  std::string type_code;            // "SMS", or a package type code such as "TXT", "IMT"; 3 bytes
  int64_t count = 0;                // 0 to 999999
  int64_t interval = kAckInterval;  // 0 to 9999
  std::string reserve_date;         // at most 12 bytes; empty for an immediate send
};

// Fills out (which it zeroes first) with the job header packet. Refuses the header, leaving out
// zeroed, when a field other than the title does not fit; a title over 49 bytes is cut.
RecordStatus BuildJobHeader(const JobHeader& header, std::span<char, kJobHeaderSize> out);

// Fills out (zeroed first) with a text message packet. Refuses a recipient or callback over 19
// bytes, leaving out zeroed; a text over 99 bytes is cut.
RecordStatus BuildTextMessage(std::string_view recipient, std::string_view callback,
                              std::string_view text, std::span<char, kTextMessageSize> out);

// Fills out (zeroed first) with the head of a file message for a file of `length` bytes, which
// follow the head on the wire. Refuses a number over 19 bytes or a length over 9 digits.
RecordStatus BuildFileMessageHead(std::string_view recipient, std::string_view callback,
                                  int64_t length, std::span<char, kFileMessageHeadSize> out);

// Fills out (zeroed first) with a job reply. Refuses a job id over 40 bytes.
RecordStatus BuildJobReply(char result, std::string_view job_id,
                           std::span<char, kJobReplySize> out);

// Fills out with an acknowledgement.
void BuildAcknowledgement(char result, std::span<char, kAcknowledgementSize> out);

// Parsed records. The views point into the bytes that were parsed.
struct JobReply {
  char result = 0;
  std::string job_id;
  bool accepted() const { return result == kResultOk; }
};

struct Acknowledgement {
  char result = 0;
  bool ok() const { return result == kResultOk; }
};

struct TextMessageView {
  std::string_view recipient;
  std::string_view callback;
  std::string_view text;
};

struct FileMessageHeadView {
  std::string_view recipient;
  std::string_view callback;
  int64_t length = 0;
};

// Each parser reads the record at the start of bytes. It returns nothing when bytes are fewer
// than the record's size or the type byte is not the record's; bytes after the record are not
// looked at. Numbers that are not decimal text read as 0, except the file length, which frames
// the stream: a head whose length is not decimal text is not parsed.
std::optional<JobHeader> ParseJobHeader(std::span<const char> bytes);
std::optional<TextMessageView> ParseTextMessage(std::span<const char> bytes);
std::optional<FileMessageHeadView> ParseFileMessageHead(std::span<const char> bytes);
std::optional<JobReply> ParseJobReply(std::span<const char> bytes);
std::optional<Acknowledgement> ParseAcknowledgement(std::span<const char> bytes);

// What the front of a stream of replies holds.
enum class ReplyKind {
  kNeedMore,         // nothing, or the start of a reply whose rest has not arrived
  kJobReply,         // a whole job reply (kJobReplySize bytes)
  kAcknowledgement,  // a whole acknowledgement (kAcknowledgementSize bytes)
  kBadType,          // a byte that starts no reply
};
ReplyKind ScanReply(std::span<const char> bytes);

}  // namespace parley

#endif  // PARLEY_SEND_GATEWAY_RECORDS_H_
