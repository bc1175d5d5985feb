// EXCHK (an extension): the full check of a workbook send before it is confirmed. The request is
// an ESEND body of mode 1, 2 or 3 (the same sheet, columns, template, dedupe and pictures); the
// engine runs the send's own row reading over every row of the sheet without sending and answers
// what the send would do, or "Exception:[<reason>]" when the query cannot run.
//
// Reply: the fields below joined by "<QX>"; the three lists hold entries joined by "<Q>", each
// entry's parts joined by ",", every text part escaped (EscapeListPart: "%", "<" and "," coded).
#ifndef PARLEY_PROTOCOL_EXCEL_CHECK_H_
#define PARLEY_PROTOCOL_EXCEL_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/list_fields.h"

namespace parley::protocol {

// The sizes a message is counted by, as users and carriers count them (CP949 bytes): an SMS up
// to 90 (the gateway's own field holds 99), a long text up to 2,000. The check's fields 5 to 7
// count by them, and the front ends choose the kind by them.
inline constexpr size_t kSmsTextBytes = 90;
inline constexpr size_t kLongTextBytes = 2000;

// A row that is never sent: its sheet row, which cell ("phone" or "callback"), the problem
// ("empty", "not-digits", "not-mobile", "not-callback") and the cell as it is.
struct CheckFault {
  int64_t row = 0;
  std::string what;
  std::string problem;
  std::string cell;
  bool operator==(const CheckFault&) const = default;
};

// A value a marker cuts: its row, the column, the whole value and the bytes of it kept.
struct CheckCut {
  int64_t row = 0;
  std::string column;
  std::string value;
  int64_t kept = 0;
  bool operator==(const CheckCut&) const = default;
};

// A row whose column holds a character CP949 cannot (sent as "?").
struct CheckUnencodable {
  int64_t row = 0;
  std::string column;
  bool operator==(const CheckUnencodable&) const = default;
};

// A row whose recipient is on the opt-out list: its sheet row and the number (digits).
struct CheckOptedOut {
  int64_t row = 0;
  std::string number;
  bool operator==(const CheckOptedOut&) const = default;
};

struct ExcelCheckReply {
  // At most this many entries of each list are sent; the counts cover every row.
  static constexpr size_t kListed = 100;
  static constexpr size_t kFields = 17;
  // With the opt-out fields 18 and 19.
  static constexpr size_t kFieldsWithOptOut = 19;

  int64_t rows = 0;              // 1: rows of the sheet read
  int64_t messages = 0;          // 2: messages the send would make (valid rows, duplicates dropped)
  std::string kind;              // 3: "SMS", "LMS" or "MMS": what the largest message needs
  int64_t largest = 0;           // 4: bytes of the largest composed message
  int64_t sms_rows = 0;          // 5: messages of at most 90 bytes
  int64_t lms_rows = 0;          // 6: messages of 91 to 2,000 bytes
  int64_t over_rows = 0;         // 7: messages over 2,000 bytes
  int64_t invalid = 0;           // 8: rows never sent for a phone or callback cell
  int64_t duplicates = 0;        // 9: rows dropped as duplicates
  int64_t cut_rows = 0;          // 10: messages with a value cut by its marker's width
  int64_t cut_bytes = 0;         // 11: bytes cut in all
  int64_t unencodable_rows = 0;  // 12: messages with a character CP949 cannot hold
  std::string callback;          // 13: the one-column callback normalised (empty: two-column)
  std::string callback_problem;  // 14: why the one-column callback cannot be used, or empty
  std::vector<CheckFault> faults;             // 15
  std::vector<CheckCut> cuts;                 // 16
  std::vector<CheckUnencodable> unencodable;  // 17
  // Fields 18 and 19 are sent only when this is set: the opt-out list holds numbers (so a reply
  // stays as it was while the list is empty).
  bool with_opt_out = false;
  int64_t opted_out = 0;                        // 18: rows left out for the opt-out list
  std::vector<CheckOptedOut> opted_out_rows{};  // 19: "row,number" entries

  std::string Build() const;
  // None when the body is not such a reply (an "Exception:[...]" text included).
  static std::optional<ExcelCheckReply> Parse(std::string_view body);
  bool operator==(const ExcelCheckReply&) const = default;
};

}  // namespace parley::protocol

#endif  // PARLEY_PROTOCOL_EXCEL_CHECK_H_
