#include "commands/send_answer.h"

#include "protocol/markup.h"
#include "send/send_refusals.h"

namespace parley {

std::string SendAnswer(const SendResult& result, const JobPolicy& policy, SendKind kind) {
  if (policy.answer == AnswerStyle::kJobId) return result.job_id;
  const bool workbook = policy.answer == AnswerStyle::kWorkbook;
  if (result.outcome == SendOutcome::kSent) {
    if (workbook && kind == SendKind::kMms) return std::string(kSentUncountedText);
    return SentText(result.count);
  }
  if (result.outcome == SendOutcome::kCancelled) return CancelledText(result.count);
  if (result.refusal != SendRefusal::kNone) {
    return workbook ? protocol::ExceptionText(RefusalReason(result.refusal))
                    : RefusalText(result.refusal);
  }
  if (!result.reason.empty()) return protocol::ExceptionText(result.reason);
  return std::string(kSendFailedText);
}

}  // namespace parley
