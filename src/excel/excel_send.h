// The Excel send pipelines: one gateway job whose recipients, callbacks and personalised texts
// come from the rows of a workbook sheet.
//
// The request is the ESEND body with every "<QX>" replaced by a backtick. Fields:
//   0 kind, 1 most recipients to send to, 2 title, 3 reservation text, 4 sheet table name,
//   5 phone column (with "<OVERLAP>" in front to drop duplicate rows), 6 second-number column, or
//   in one-column mode the callback number itself, 7 message text (a field list, "<Q>" and a
//   template with "[name:width]" markers), 8 mode (two characters or more: one-column mode),
//   9 (MMS) "<IMG>" and picture names each followed by a comma.
#ifndef PARLEY_EXCEL_EXCEL_SEND_H_
#define PARLEY_EXCEL_EXCEL_SEND_H_

#include <string>

#include <asio/awaitable.hpp>

#include "send/direct_send.h"

namespace parley {

class ExcelWorkbook;

// Sends one SMS of type `type` per result row, at most field 1 of them. Before the gateway is
// contacted the rows are read once: a query the workbook rejects answers "Exception:[<reason>]",
// and so does a composed text over 99 bytes or a callback over 19 (naming the row), with nothing
// sent. Then kSendFailedText when the gateway refuses the job, stays silent, acknowledges
// negatively or drops the connection; else SentText of the number of messages sent, with the
// sent report in *report (empty on any failure).
asio::awaitable<std::string> SendExcelSms(const DirectSendSetup& setup, ExcelWorkbook& workbook,
                                          std::string request, std::string type,
                                          std::string* report);

// Sends an SKN package built for each result row (its own text and the pictures of field 9,
// read once for the job from <module_dir>TempIMG/ with ReadPictureFile). Answers as SendExcelSms,
// except that success is "성공적으로 전송되었습니다" and there is no report. A picture that
// cannot be read is left out; the job is refused with "Exception:[<reason>]" before the workbook
// is queried when a picture is over kMaxPictureBytes or none of the named pictures can be read.
// The last row's package is left in TempIMG/qx.SKN.
asio::awaitable<std::string> SendExcelMms(const DirectSendSetup& setup, ExcelWorkbook& workbook,
                                          std::string request);

}  // namespace parley

#endif  // PARLEY_EXCEL_EXCEL_SEND_H_
