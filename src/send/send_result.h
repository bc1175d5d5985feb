// What a send pipeline hands back (SendResult), the user texts of a send, and the sent report.
#ifndef PARLEY_SEND_SEND_RESULT_H_
#define PARLEY_SEND_SEND_RESULT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "send/send_refusals.h"

namespace parley {

// "메시지 전송에 실패하였습니다\n메시지를 다시 확인해주세요" (CP949).
inline constexpr std::string_view kSendFailedText =
    "\xB8\xDE\xBD\xC3\xC1\xF6 \xC0\xFC\xBC\xDB\xBF\xA1 \xBD\xC7\xC6\xD0\xC7\xCF\xBF\xB4\xBD\xC0"
    "\xB4\xCF\xB4\xD9\n\xB8\xDE\xBD\xC3\xC1\xF6\xB8\xA6 \xB4\xD9\xBD\xC3 \xC8\xAE\xC0\xCE\xC7\xD8"
    "\xC1\xD6\xBC\xBC\xBF\xE4";
// "총 %d건이\n성공적으로 전송되었습니다" (CP949), a printf format.
inline constexpr char kSentFormat[] =
    "\xC3\xD1 %d\xB0\xC7\xC0\xCC\n\xBC\xBA\xB0\xF8\xC0\xFB\xC0\xB8\xB7\xCE \xC0\xFC\xBC\xDB"
    "\xB5\xC7\xBE\xFA\xBD\xC0\xB4\xCF\xB4\xD9";
// "메시지 전송이 취소되었습니다\n%d건 전송" (CP949), a printf format: the text of a send stopped on
// request, with the number of messages that went out.
inline constexpr char kCancelledFormat[] =
    "\xB8\xDE\xBD\xC3\xC1\xF6 \xC0\xFC\xBC\xDB\xC0\xCC \xC3\xEB\xBC\xD2\xB5\xC7\xBE\xFA\xBD\xC0"
    "\xB4\xCF\xB4\xD9\n%d\xB0\xC7 \xC0\xFC\xBC\xDB";
// "성공적으로 전송되었습니다" (CP949): the success text of a send that gives no count.
inline constexpr std::string_view kSentUncountedText =
    "\xBC\xBA\xB0\xF8\xC0\xFB\xC0\xB8\xB7\xCE \xC0\xFC\xBC\xDB\xB5\xC7\xBE\xFA\xBD\xC0\xB4\xCF"
    "\xB4\xD9";
// "멀티메시지" (CP949): the title of an MMS job that was given none.
inline constexpr std::string_view kMmsDefaultTitle = "\xB8\xD6\xC6\xBC\xB8\xDE\xBD\xC3\xC1\xF6";

// The success text for `count` messages.
std::string SentText(int64_t count);
// The cancelled text for `count` messages sent.
std::string CancelledText(int64_t count);

// The form body of a sent report: "jobid=..&type=SMS&totcnt=..&title=..&msg=..&resflag=..
// &reserdate=..&fromnumber=..", built with FormBody (every value encoded), resflag 1 without a
// reservation and 2 with one.
std::string SentReport(std::string_view job_id, int64_t count, std::string_view title,
                       std::string_view text, std::string_view reserve_date,
                       std::string_view from_number);

enum class SendOutcome {
  kSent,       // every message was written and the gateway kept the connection to the end
  kRefused,    // the order was at fault; nothing was sent, the gateway was not contacted
  kFailed,     // the gateway refused or failed the job, or the recipients' source failed
  kCancelled,  // stopped on request; `count` messages went out and were acknowledged
};

// The outcome of one send. The user text is made of it in one place (SendAnswer in
// commands/send_answer.h).
struct SendResult {
  SendOutcome outcome = SendOutcome::kFailed;
  int64_t count = 0;   // kSent: the messages the job announced and sent; kCancelled: those sent
  std::string job_id;  // once the gateway answered the job header
  std::string report;  // kSent: the sent report, when the pipeline makes one
  std::vector<std::string> recent;           // numbers for the recent-numbers list, when kept
  SendRefusal refusal = SendRefusal::kNone;  // kRefused: a reason the user is told, if any
  std::string reason;     // kRefused or kFailed: a reason from the recipients' source or the
                          // workbook (CP949), told inside "Exception:[...]"
  std::error_code error;  // kFailed: the gateway's error, when it was the gateway
};

// A refused result, its reason still to be given.
inline SendResult RefusedResult() {
  SendResult result;
  result.outcome = SendOutcome::kRefused;
  return result;
}

}  // namespace parley

#endif  // PARLEY_SEND_SEND_RESULT_H_
