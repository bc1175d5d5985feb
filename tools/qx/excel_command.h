// qx excel: workbook recipient lists through the engine (EXCEL and ESEND). "list" chooses the
// workbook and shows its sheets; "count" counts a column's distinct values; "preview" shows the
// first composed messages; "send" runs the send check and sends from a sheet, one message per
// row, texts composed from the row's cells by markers "[column:width]".
#ifndef PARLEY_QX_EXCEL_COMMAND_H_
#define PARLEY_QX_EXCEL_COMMAND_H_

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "client/messages.h"
#include "client/workbook_request.h"
#include "protocol/query_requests.h"
#include "qx/link_session.h"

namespace parley {

// Runs the action, printing tables to out. "check" and "send" first ask the engine to check every
// row (EXCHK) and print what it found; a send goes only when nothing in the check stops it
// (PlanWorkbookSend), to the number of messages the check counted. Returns kExitOk; kExitRefused
// when the engine reports an error (an "Exception:[...]" text), the check is refused or the send
// fails; kExitUsage; kExitNoEngine.
int RunExcelCommand(const ExcelOptions& options, const LinkTarget& target, std::ostream& out,
                    std::ostream& err);

}  // namespace parley

#endif  // PARLEY_QX_EXCEL_COMMAND_H_
