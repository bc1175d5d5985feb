// The Excel sends (ESEND): one gateway job whose recipients, callbacks and personalised texts
// come from the rows of a workbook sheet, read through a SheetRowCursor that the caller provides,
// as kExcelJob says.
#ifndef PARLEY_SEND_EXCEL_SEND_H_
#define PARLEY_SEND_EXCEL_SEND_H_

#include <cstdint>
#include <string>
#include <vector>

#include <asio/awaitable.hpp>

#include "numbers/korean_number.h"
#include "send/gateway_job.h"
#include "send/send_result.h"

namespace parley {

// What becomes of one sheet row.
enum class RowVerdict {
  kSend,         // a message goes to it
  kBadPhone,     // its phone cell is no mobile number: never sent
  kBadCallback,  // its callback cell is no number a reply can reach: never sent
  kDuplicate,    // the same as an earlier row (as the send dedupes): not sent again
  kOptedOut,     // its recipient is on the opt-out list the send keeps: never sent
};

// A value a template marker cut to its width.
struct CutValue {
  int field = 0;      // the marker's index in the template
  std::string value;  // the whole cell (CP949)
  size_t kept = 0;    // the bytes of it that stay
};

// The message fields of one sheet row (CP949).
struct SheetRow {
  int64_t row = 0;  // its row in the sheet: the header is row 1, the first under it row 2
  RowVerdict verdict = RowVerdict::kSend;
  NumberProblem problem = NumberProblem::kNone;  // kBadPhone, kBadCallback: why
  std::string cell;                              // kBadPhone, kBadCallback: the cell as it is
  std::string recipient;                         // the phone cell normalised to its digits
  std::string callback;            // the callback cell normalised, or the one-column callback
  std::string text;                // the message template with the row's fields applied
  std::vector<CutValue> cuts;      // the row's values its markers cut, in marker order
  std::string unencodable_column;  // the first field column holding a character CP949 lacks
};

// The rows of the sheet query of one Excel send, one at a time. Failures are values: a call that
// fails returns false and leaves its reason (CP949) in error().
class SheetRowCursor {
 public:
  virtual ~SheetRowCursor() = default;
  // Empty when the query can run; else the reason it cannot. Reads no row.
  virtual std::string CheckQuery() = 0;
  // Runs the query from its first row (again).
  virtual bool Open() = 0;
  // True when there is no current row.
  virtual bool AtEnd() const = 0;
  // The fields of the current row and its verdict. Called once per row between Open and the
  // next Open (a row's verdict may depend on the rows read before it).
  virtual bool Read(SheetRow* row) = 0;
  virtual bool MoveNext() = 0;
  virtual void Close() = 0;
  virtual const std::string& error() const = 0;
};

// An Excel send as the user ordered it.
struct ExcelOrder {
  SendKind kind = SendKind::kSms;
  int64_t count = 0;                  // most rows to send to
  std::string title;                  // empty: the policy's default title
  std::string reserve_date;           // empty: send now
  std::string text;                   // decoded message text: field list, "<Q>", template
  std::string second;                 // the second-number column, or the one-column callback
  bool two_column = true;             // false: one-column mode, `second` is the callback
  std::vector<std::string> pictures;  // MMS: the picture names counted (an empty one skipped)
};

// Sends one message per row of rows whose verdict is kSend, at most order.count of them (rows
// not sent do not count). Before the gateway is contacted an MMS reads its pictures once
// (ReadJobPictures; its refusal refuses the job) and the rows are read once: a query that cannot
// run, a count over 999999, a one-column callback over 19 bytes, no row to send or (SMS) a
// composed text over 99 bytes refuses the job with the reason (naming the row), nothing sent. The
// job announces the number of rows found. Failed when the gateway refuses the job, stays silent,
// acknowledges negatively or drops the connection, or when reading a row fails during the job (the
// rows before go out; the reason is kept). Sent with the number of messages, and for SMS the sent
// report. Every MMS row gets a package of its own, built in memory; the last one is left in
// TempIMG/qx.SKN.
asio::awaitable<SendResult> SendExcel(const SendSetup& setup, SheetRowCursor& rows,
                                      ExcelOrder order);

}  // namespace parley

#endif  // PARLEY_SEND_EXCEL_SEND_H_
