// The user text of a send: the one place where a SendResult becomes what the UI program shows.
#ifndef PARLEY_COMMANDS_SEND_ANSWER_H_
#define PARLEY_COMMANDS_SEND_ANSWER_H_

#include <string>

#include "send/gateway_job.h"
#include "send/send_result.h"

namespace parley {

// The text of result for a send of kind by a pipeline of policy:
// - sent: SentText of the count ("총 %d건이\n성공적으로 전송되었습니다"), or for an MMS of a
//   kWorkbook pipeline "성공적으로 전송되었습니다";
// - cancelled: CancelledText of the count ("메시지 전송이 취소되었습니다\n%d건 전송");
// - refused with a SendRefusal: RefusalText, or for kWorkbook "Exception:[<reason>]";
// - refused or failed with a reason of the rows' source: "Exception:[<reason>]";
// - otherwise kSendFailedText.
// A kJobId pipeline answers the job id alone (empty when the gateway did not answer).
std::string SendAnswer(const SendResult& result, const JobPolicy& policy, SendKind kind);

}  // namespace parley

#endif  // PARLEY_COMMANDS_SEND_ANSWER_H_
