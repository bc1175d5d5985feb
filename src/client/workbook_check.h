// What a front end makes of the engine's full check of a workbook send (EXCHK): the messages and
// the kind the send takes, what stops it unless the user says otherwise, and the check in words.
#ifndef PARLEY_CLIENT_WORKBOOK_CHECK_H_
#define PARLEY_CLIENT_WORKBOOK_CHECK_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/messages.h"
#include "protocol/excel_check.h"

namespace parley {

// Why a checked workbook send may not go as it stands.
enum class WorkbookBlock {
  kCallback,     // the one callback number cannot be used
  kNoMessages,   // no row can be sent
  kInvalidRows,  // rows with wrong numbers, and the user did not ask to leave them out
  kCutValues,    // values would be cut, and the user did not say yes to it
  kTooLong,      // a message is over the longest text (2,000 bytes)
};

struct WorkbookSendPlan {
  int64_t messages = 0;  // the count to send: every valid row, duplicates dropped
  int mode = 1;          // the ESEND mode: 1 SMS, 2 LMS, 3 with pictures
  std::vector<WorkbookBlock> blocks;
  bool ok() const { return blocks.empty(); }
};

// The plan of a send from its check. skip_invalid: the user asked to leave rows with wrong
// numbers out; allow_cut: the user said yes to values being cut.
WorkbookSendPlan PlanWorkbookSend(const protocol::ExcelCheckReply& check, bool pictures,
                                  bool skip_invalid, bool allow_cut);

// The catalogue message of a left-out row's reason: which cell ("phone", "callback") and the
// problem's token.
Msg ProblemMsg(std::string_view what, std::string_view problem);

// The check in words (UTF-8), a line each: the rows and messages, the rows with wrong numbers
// (each by row, cell and reason), duplicates, values cut, characters that cannot be sent.
std::vector<std::string> DescribeWorkbookCheck(const protocol::ExcelCheckReply& check,
                                               Language language);

// Why a plan's block stops the send, in words (UTF-8).
std::string BlockText(WorkbookBlock block, const protocol::ExcelCheckReply& check,
                      Language language);

}  // namespace parley

#endif  // PARLEY_CLIENT_WORKBOOK_CHECK_H_
