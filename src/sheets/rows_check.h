// The full check of a workbook send: every row read as the send reads it (WorkbookRows), nothing
// sent, summed up as the EXCHK reply says (rows, messages, the rows left out and why, duplicates,
// values cut, characters CP949 lacks, the bytes and kind of the composed messages).
#ifndef PARLEY_SHEETS_ROWS_CHECK_H_
#define PARLEY_SHEETS_ROWS_CHECK_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "protocol/excel_check.h"
#include "sheets/workbook_rows.h"

namespace parley {

// A row the send leaves out as never to be sent: its sheet row, the cell, and the reason as
// "<phone|callback> <problem token>" ("phone not-mobile").
struct LeftOutRow {
  int64_t row = 0;
  std::string cell;
  std::string reason;
};

// Reads every row of rows from the first into *check (with limit > 0, up to the first row that
// would be a message past `limit`: the rows left out before it still count),
// listing at most ExcelCheckReply::kListed entries of each list; every left-out row also goes to
// *left_out when it is not null. `pictures`: the send attaches pictures (its kind is MMS).
// False, with the reason in rows.error(), when reading fails.
// A rule every row that would be sent must keep: the reason (CP949) the row breaks it, or empty.
using RowRule = std::function<std::string(const SheetRow& row)>;

// A row that breaks the row rule: its sheet row and why.
struct RowFault {
  int64_t row = 0;
  std::string reason;
};

// Rows left out as opted out go to check's opted-out fields and to *left_out (reason
// kOptedOutReason, the cell the recipient's digits). With a row rule, the first row to be sent
// that breaks it is put in *fault (when not null) and the reading goes on.
bool CheckSheetRows(WorkbookRows& rows, int64_t limit, bool pictures,
                    protocol::ExcelCheckReply* check, std::vector<LeftOutRow>* left_out,
                    const RowRule& rule = {}, std::optional<RowFault>* fault = nullptr);

// "phone" or "callback" and the problem's token, as LeftOutRow::reason holds them.
std::string LeftOutReason(const SheetRow& row);

}  // namespace parley

#endif  // PARLEY_SHEETS_ROWS_CHECK_H_
