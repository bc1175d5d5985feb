#include "commands/send_answer.h"

#include "excel/excel_workbook.h"
#include "send/send_refusals.h"

namespace parley {

std::string SendAnswer(const SendResult& result, const JobPolicy& policy, SendKind kind) {
  if (policy.answer == AnswerStyle::kJobId) return result.job_id;
  const bool workbook = policy.answer == AnswerStyle::kWorkbook;
  if (result.outcome == SendOutcome::kSent) {
    if (workbook && kind == SendKind::kMms) return std::string(kSentUncountedText);
    return SentText(result.count);
  }
  if (result.refusal != SendRefusal::kNone) {
    return workbook ? ExceptionText(RefusalReason(result.refusal)) : RefusalText(result.refusal);
  }
  if (!result.reason.empty()) return ExceptionText(result.reason);
  return std::string(kSendFailedText);
}

}  // namespace parley
