// EXCEL and ESEND: questions about the workbook the user chose, and sends to its rows.
#ifndef PARLEY_COMMANDS_EXCEL_COMMANDS_H_
#define PARLEY_COMMANDS_EXCEL_COMMANDS_H_

#include <string>

#include <asio/awaitable.hpp>

#include "link/dispatch.h"
#include "protocol/excel_check.h"

namespace parley {

class Engine;

// The EXCEL handler. Body "1<QX>path": stores path as the workbook and answers "1<QX>" and the
// sheet listing; "2<QX>sheet<QX>column": "2<QX>" and the distinct count; anything else is a
// preview: "3<QX>" and up to five lines. A workbook that cannot be read, or a query that fails,
// answers the sub-command's prefix and "Exception:[<reason>]". The path is taken from the body
// as the UI program sent it, so it names the file whatever characters it holds.
asio::awaitable<std::string> OnExcel(Engine& engine, CommandBody body);

// The ESEND handler. Mode (field 0) 4 is the send check shared with DSEND; modes 1 (SMS) and
// 2 or 3 (MMS) send to the rows of the stored workbook while the send permission is 1, then post
// the sent report (also an empty one) and answer the send's user text followed by the user
// information string; any other mode, or a send without permission, answers the user
// information string alone. A send whose body holds a raw backtick is refused as DSEND refuses
// it (HoldsRawBacktick). A row whose phone cell is no mobile number (or whose callback cell is no
// callback number) is never sent: it is left out, recorded in the journal with why, and named in
// a line after the user text (LeftOutText); a one-column callback that is no number refuses the
// send.
asio::awaitable<std::string> OnESend(Engine& engine, std::string body);

// The EXCHK extension: the body of an ESEND send (modes 1 to 3), checked over every row of the
// stored workbook as the send would read it, nothing sent; answers protocol::ExcelCheckReply,
// or "Exception:[<reason>]" when the workbook or the query cannot be read.
asio::awaitable<std::string> OnExCheck(Engine& engine, std::string body);

// The line an ESEND answer adds after its user text when rows were left out (CP949): how many,
// and the first ten by row, cell and reason.
std::string LeftOutText(const protocol::ExcelCheckReply& check);

}  // namespace parley

#endif  // PARLEY_COMMANDS_EXCEL_COMMANDS_H_
