// The data in the web service's replies: what the engine takes from a reply text (the first line
// of a POST's body, or a GET's body after NormalizeGetReply).
#ifndef PARLEY_WEB_REPLY_DATA_H_
#define PARLEY_WEB_REPLY_DATA_H_

#include <string>
#include <string_view>
#include <vector>

#include "protocol/replies.h"

namespace parley {

// The first byte of the login reply, or '\0' for an empty reply. '1' means the login was
// accepted.
char LoginCode(std::string_view reply);

// The account figures of the user information reply, fields being split at "<COL>": the name
// is field 5, the grade field 10, the amount field 4 ("9999999999" when field 6 is "0"; it
// loses the digits after its "." when at least two follow a "." that is not its first
// character), and the values tagged "SMS:", "TXT:" and "IMT:" the counts. A tag's value runs to
// the next ","; a tag not found gives "0", a value without a "," after it is empty, and a tag
// after a missing "," is not looked for.
protocol::AccountFigures ParseUserInfo(std::string_view reply);

// The text between the first and the second apostrophe of the save reply; empty when it has
// fewer than two.
std::string ExtractQuotedText(std::string_view reply);

// "" for exactly "NULL" (case-sensitive); any other text unchanged.
std::string NullToEmpty(std::string_view text);

// The totals of a statistics count reply: its "<COL>" fields in order, or the whole reply as
// the one value when it has no "<COL>".
std::vector<std::string> ParseTotals(std::string_view reply);

// The jobs of a statistics list reply: one per "<BR>" row, in order, stopping at the first empty
// row or after `page_size` rows (read as atoi reads it). A job is columns 0, 3, 4, 5, 6, 12 and
// 13 of its "<COL>"-separated row; missing columns are empty.
std::vector<protocol::SentJob> ParseSentJobs(std::string_view reply, std::string_view page_size);

}  // namespace parley

#endif  // PARLEY_WEB_REPLY_DATA_H_
