// The direct sends (DSEND): one gateway job that sends a short text (SendKind::kSms) or an SKN
// package (kMms) to the recipients an order lists, as kDirectJob says.
#ifndef PARLEY_SEND_DIRECT_SEND_H_
#define PARLEY_SEND_DIRECT_SEND_H_

#include <cstdint>
#include <string>
#include <vector>

#include <asio/awaitable.hpp>

#include "send/gateway_job.h"
#include "send/job_package.h"
#include "send/send_result.h"

namespace parley {

// A direct send as the user ordered it.
struct DirectOrder {
  SendKind kind = SendKind::kSms;
  int64_t count = 0;                  // messages to send: the first `count` recipients
  std::string title;                  // empty: the policy's default title
  std::string reserve_date;           // empty: send now
  std::string recipients;             // as listed, separated by commas, hyphens and all
  std::string callback;               // as given
  std::string text;                   // decoded
  std::vector<std::string> pictures;  // MMS: picture names in TempIMG (at most three)
};

// Sends order to the first `count` entries of its recipient list. Refused (the failure text,
// nothing sent, the gateway not contacted) when the count is over 999999 or larger than the number
// of listed entries, any recipient within the count is empty or over 19 bytes, the callback is over
// 19 bytes, or an SMS text is over 99 bytes; refused with a reason (kBadRecipient, kBadCallback)
// when a recipient within the count or the callback holds a NUL byte or a line break, and with the
// reason of BuildJobPackage for an MMS whose pictures cannot be sent. An MMS sends one package
// (also written to TempIMG/qx.SKN) to every recipient. Failed when the gateway refuses the job,
// fails to answer within the time-out, sends a negative acknowledgement or drops the connection.
// Sent, with the sent report and the last five recipients (hyphens removed), when all messages were
// written.
asio::awaitable<SendResult> SendDirect(const SendSetup& setup, DirectOrder order);

}  // namespace parley

#endif  // PARLEY_SEND_DIRECT_SEND_H_
