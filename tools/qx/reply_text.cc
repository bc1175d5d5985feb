#include "qx/reply_text.h"

#include <ostream>

#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {

void PrintAccount(const AccountInfo& info, Language language, std::ostream& out) {
  out << Text(language, Msg::kAccount,
              {info.name, info.grade, FormatAmount(language, info.amount), info.sms_left,
               info.lms_left, info.mms_left})
      << "\n";
}

}  // namespace parley
