// The account figures as qx prints them; reading replies is the client core's
// (client/reply_fields.h).
#ifndef PARLEY_QX_REPLY_TEXT_H_
#define PARLEY_QX_REPLY_TEXT_H_

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "client/messages.h"
#include "client/reply_fields.h"

namespace parley {

// Writes the figures as one line in language: "account: NAME (GRADE), amount 108,712 won, left
// SMS s / LMS l / MMS m", the amount with its separators and unit (FormatAmount).
void PrintAccount(const AccountInfo& info, Language language, std::ostream& out);

}  // namespace parley

#endif  // PARLEY_QX_REPLY_TEXT_H_
