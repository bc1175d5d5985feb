// Sending the rest of a journaled job again: the recipients its gateway job did not reach, each
// with the text or package it had then, as one new job (kRestJob).
#ifndef PARLEY_SEND_REST_SEND_H_
#define PARLEY_SEND_REST_SEND_H_

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <asio/awaitable.hpp>

#include "send/gateway_job.h"
#include "send/send_result.h"

namespace parley {

// One recipient of the rest: the number as the first job sent it, and its content there.
struct RestMessage {
  std::string recipient;
  std::string content;  // SMS: the text, empty for the job's text; LMS, MMS: the package's digest
};

// The rest of a job, as the journal kept it. Text fields are CP949.
struct RestOrder {
  SendKind kind = SendKind::kSms;
  std::string type_code;  // the job header's: "SMS", "TXT" (a long text) or "IMT" (pictures)
  std::string title;
  std::string reserve_date;  // empty: send now
  std::string callback;
  std::string text;  // SMS: the text of a recipient whose content is empty
  std::vector<RestMessage> messages;
  std::map<std::string, std::string, std::less<>> packages;  // LMS, MMS: digest -> package
};

// The rest of a job sends as a direct send does, numbers and callback as recorded, and makes a
// sent report; a failed or refused job ends as a direct send's.
inline constexpr JobPolicy kRestJob{
    .name = "resend",
    .command = "JOBRS",
    .sms_title = kSknDefaultSubject,
    .mms_title = kMmsDefaultTitle,
    .negative_ack = NegativeAck::kFailJob,
    .bad_number = BadNumber::kFailJob,
    .strip_hyphens = false,
    .mms_type_code = MmsTypeCode::kItemsAdded,
    .report = SentReportKind::kAll,
    .recent_numbers = false,
    .send_check = true,
    .answer = AnswerStyle::kUserText,
};

// Sends order's messages as one job. Refused (nothing sent) when a message's package is not in
// order.packages or there are no messages.
asio::awaitable<SendResult> SendRest(const SendSetup& setup, const RestOrder& order);

}  // namespace parley

#endif  // PARLEY_SEND_REST_SEND_H_
