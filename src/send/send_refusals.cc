#include "send/send_refusals.h"

#include <string_view>

#include "numbers/korean_number.h"
#include "send/picture_file.h"
#include "text/cp949.h"

namespace parley {

std::string RefusalReason(SendRefusal refusal) {
  switch (refusal) {
    case SendRefusal::kNone:
      return std::string();
    case SendRefusal::kRawBacktick:
      return Utf8ToAnsi("메시지에 보낼 수 없는 문자(`)가 있습니다");
    case SendRefusal::kBadRecipient:
      return Utf8ToAnsi("수신번호에 쓸 수 없는 문자가 있습니다");
    case SendRefusal::kBadCallback:
      return Utf8ToAnsi("회신번호에 쓸 수 없는 문자가 있습니다");
    case SendRefusal::kPicturesMissing:
      return Utf8ToAnsi("첨부한 이미지를 찾을 수 없습니다");
    case SendRefusal::kPictureTooLarge:
      return Utf8ToAnsi("이미지 파일이 너무 큽니다 (") +
             std::to_string(kMaxPictureBytes / (1024 * 1024)) + "MB" + Utf8ToAnsi("까지)");
    case SendRefusal::kNoJournal:
      return Utf8ToAnsi("전송 기록 파일을 열 수 없어 보내지 않았습니다");
    case SendRefusal::kNothingLeft:
      return Utf8ToAnsi("다시 보낼 수신번호가 없습니다");
    case SendRefusal::kNotKept:
      return Utf8ToAnsi("이 전송의 메시지 내용이 기록에 남아 있지 않아 다시 보낼 수 없습니다");
    case SendRefusal::kNoCallback:
      return Utf8ToAnsi("회신번호가 없습니다");
    case SendRefusal::kInvalidCallback:
      return Utf8ToAnsi("회신번호가 올바른 전화번호가 아닙니다");
  }
  return std::string();
}

std::string RefusalText(SendRefusal refusal) {
  return Utf8ToAnsi("메시지 전송에 실패하였습니다\n") + RefusalReason(refusal);
}

SendRefusal NormalizeCallback(std::string* callback) {
  CheckedNumber checked = CheckKoreanNumber(*callback, NumberUse::kCallback);
  if (checked.problem == NumberProblem::kEmpty) return SendRefusal::kNoCallback;
  if (!checked.ok()) return SendRefusal::kInvalidCallback;
  *callback = std::move(checked.digits);
  return SendRefusal::kNone;
}

bool HasBreakingByte(std::string_view number) {
  return number.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos;
}

}  // namespace parley
