// The gateway record: what a gateway peer received of each job, and the file format it keeps
// it in. The gateway simulator writes it; the tests read it back (GateSim::Jobs).
//
// The record file holds one JSON object per line, one line per job, written when the job ends:
//
//   {"job":1,"job_id":"J000000001","result":"0","login_id":"user","password":"pw",
//    "title":"...","type_code":"SMS","count":120,"interval":50,"reserve_date":"",
//    "received":120,"bytes":17403,"seconds":0.012,"end":"client closed",
//    "messages":[{"recipient":"01011112222","callback":"0212345678","text":"..."}, ...],
//    "acks":[{"due":50,"result":"0","sent_at":51}, ...],
//    "packages":[{"checksum":"8c3f...","size":2663,"hex":"5f5f534b..."}]}
//
// - Strings are the bytes received (CP949): printable ASCII as is, every other byte, '"' and '\'
//   as \u00XX (so each \u escape stands for one byte, never for a Unicode character).
// - "result" is the job reply's result byte ("" when no job reply was sent).
// - "received" counts the message packets, "bytes" every byte of the job, header included;
//   "seconds" runs from the job header to the end of the job.
// - "end" says why the job ended: "client closed", "closed after N messages", "next job",
//   "signal", "protocol error: ..." or a read error.
// - In file (MMS) jobs a message has "size" and "checksum" (FNV-1a 64, 16 hex digits) in place
//   of "text", and every distinct file is in "packages" once, its bytes in hex.
// - An acknowledgement's "due" is the message count it answers, "sent_at" the number of messages
//   received when it was written (-1 when it never was): a sender that waits for each
//   acknowledgement shows sent_at = due + 1 with a delayed acknowledgement (--ack-delay-ms).
#ifndef PARLEY_TESTING_GATE_RECORD_H_
#define PARLEY_TESTING_GATE_RECORD_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "send/gateway_records.h"

namespace parley::testing {

// FNV-1a, 64 bits, over any number of pieces.
class Checksum {
 public:
  void Add(std::string_view bytes);
  // 16 lower-case hex digits.
  std::string Hex() const;

 private:
  uint64_t hash_ = 14695981039346656037ull;
};

std::string ChecksumOf(std::string_view bytes);

struct GateMessage {
  std::string recipient;
  std::string callback;
  std::string text;      // text messages
  int64_t size = 0;      // file messages: the file's length
  std::string checksum;  // file messages: Checksum of the file's bytes
};

struct GateAck {
  int64_t due = 0;
  char result = 0;
  int64_t sent_at = -1;
};

struct GatePackage {
  std::string checksum;
  std::string bytes;
};

struct GateJob {
  int64_t number = 0;
  std::string job_id;
  char result = 0;  // 0 when no job reply was sent
  JobHeader header;
  int64_t received = 0;
  int64_t bytes = 0;
  double seconds = 0;
  std::string end;
  std::vector<GateMessage> messages;
  std::vector<GateAck> acks;
  std::vector<GatePackage> packages;
};

// Returns job as one line of the record file, without the line end.
std::string ToJsonLine(const GateJob& job);

// Parses one line written by ToJsonLine; nothing when it is not such a line.
std::optional<GateJob> ParseJsonLine(std::string_view line);

}  // namespace parley::testing

#endif  // PARLEY_TESTING_GATE_RECORD_H_
