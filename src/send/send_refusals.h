// Sends refused before the gateway is contacted because the request itself is at fault, and the
// texts that tell the user why.
#ifndef PARLEY_SEND_SEND_REFUSALS_H_
#define PARLEY_SEND_SEND_REFUSALS_H_

#include <string>
#include <string_view>

namespace parley {

enum class SendRefusal {
  kNone,
  kRawBacktick,      // a field holds a raw "`", which would cut it (the UI program codes it)
  kBadRecipient,     // a recipient holds a NUL byte or a line break, which would cut it
  kBadCallback,      // the callback number holds a NUL byte or a line break
  kPicturesMissing,  // an MMS names pictures and none of them can be read
  kPictureTooLarge,  // a picture is over kMaxPictureBytes
  kNoJournal,        // the send journal cannot be opened: a send would go unrecorded
  kNothingLeft,      // a resend found no recipient left to send to
  kNotKept,          // a resend needs a message package the journal did not keep
  kNoCallback,       // the callback number is empty: nobody could answer
  kInvalidCallback,  // the callback number is no number a reply can reach
};

// The reason in the user's words (CP949), for example "첨부한 이미지를 찾을 수 없습니다"; empty
// for kNone. The Excel sends answer it inside "Exception:[...]".
std::string RefusalReason(SendRefusal refusal);

// The answer of a refused DSEND or ESEND: the first line of the failure text,
// "메시지 전송에 실패하였습니다", then a line feed and RefusalReason (CP949).
std::string RefusalText(SendRefusal refusal);

// Checks a callback number by the one number rule (numbers/korean_number.h) and puts its
// normalised digits in its place; kNoCallback or kInvalidCallback (callback unchanged) when it
// cannot be used.
SendRefusal NormalizeCallback(std::string* callback);

// True when a number holds a byte that would cut it short or break its record: a NUL byte, a
// carriage return or a line feed.
bool HasBreakingByte(std::string_view number);

}  // namespace parley

#endif  // PARLEY_SEND_SEND_REFUSALS_H_
