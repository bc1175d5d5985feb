// The command table: the twelve command codes of the UI link, numbered in table order, then the
// extensions (STATE, CANCL, and JOBLS, JOBEX, JOBSH, JOBRS, JOBFG over the send journal, EXCHK,
// and the sending rules' OPTLS, OPTAD, OPTRM, CBKLS, CBKAD, CBKRM, SETGT, SETPT, OPTCK),
// which an older UI program never sends. An engine without them answers their codes as every
// unknown code: with an empty "INIT" reply.
#ifndef PARLEY_LINK_COMMAND_TABLE_H_
#define PARLEY_LINK_COMMAND_TABLE_H_

#include <array>
#include <string_view>

namespace parley {

enum CommandNumber : int {
  kCmdInit = 0,  // no handler: answered with an empty "INIT" reply
  kCmdLogin = 1,
  kCmdMyMsg = 2,
  kCmdEmotn = 3,
  kCmdExcel = 4,
  kCmdSendL = 5,
  kCmdCashL = 6,
  kCmdAddrB = 7,
  kCmdDSend = 8,
  kCmdESend = 9,
  kCmdASend = 10,
  kCmdEndQx = 11,
  // Extensions.
  kCmdState = 12,  // the engine's state and its current or last gateway job
  kCmdCancl = 13,  // stop the running gateway job at its next acknowledgement boundary
  kCmdJobLs = 14,  // the jobs of the send journal
  kCmdJobEx = 15,  // one job's recipients and their states, written to a file
  kCmdJobSh = 16,  // one job of the send journal
  kCmdJobRs = 17,  // send the rest of a job again
  kCmdJobFg = 18,  // forget old jobs
  kCmdExChk = 19,  // the full check of a workbook send, nothing sent
  kCmdOptLs = 20,  // the opt-out list
  kCmdOptAd = 21,  // add numbers to the opt-out list
  kCmdOptRm = 22,  // remove numbers from the opt-out list
  kCmdCbkLs = 23,  // the registered callback numbers
  kCmdCbkAd = 24,  // register callback numbers
  kCmdCbkRm = 25,  // remove registered callback numbers
  kCmdSetGt = 26,  // the sending rules' settings
  kCmdSetPt = 27,  // set one of the sending rules' settings
  kCmdOptCk = 28,  // the recipients of a planned send that the opt-out list leaves out
};

inline constexpr int kCommandCount = 29;

inline constexpr std::array<std::string_view, kCommandCount> kCommandCodes = {
    "INIT",  "LOGIN", "MYMSG", "EMOTN", "EXCEL", "SENDL", "CASHL", "ADDRB", "DSEND", "ESEND",
    "ASEND", "ENDQX", "STATE", "CANCL", "JOBLS", "JOBEX", "JOBSH", "JOBRS", "JOBFG", "EXCHK",
    "OPTLS", "OPTAD", "OPTRM", "CBKLS", "CBKAD", "CBKRM", "SETGT", "SETPT", "OPTCK",
};

// Returns the command number of a message header: the first five characters (all of the header
// when shorter) compared exactly, case-sensitively, with the codes 1 to kCommandCount - 1. A header
// that matches none of them, "INIT" included, gives kCmdInit.
int FindCommand(std::string_view header);

// True for the three send commands, after which the recent-numbers list is stored.
inline bool IsSendCommand(int number) {
  return number == kCmdDSend || number == kCmdESend || number == kCmdASend;
}

}  // namespace parley

#endif  // PARLEY_LINK_COMMAND_TABLE_H_
