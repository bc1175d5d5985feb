// The replies of the UI link, one builder per reply, from the data the engine gathered. The
// texts are CP949 as they come from the web service, the address book or the workbook.
#ifndef PARLEY_PROTOCOL_REPLIES_H_
#define PARLEY_PROTOCOL_REPLIES_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/query_requests.h"
#include "protocol/send_requests.h"

namespace parley::protocol {

// The account figures of the logged-in user, as the web service gives them.
struct AccountFigures {
  std::string name;
  std::string grade;
  std::string amount;  // money left; "9999999999" for a flat-rate account
  std::string sms_left;
  std::string lms_left;
  std::string mms_left;
};

// The user information string: the six figures, each after "<QX>". Ends LOGIN (accepted) and
// every DSEND, ESEND and ASEND reply.
std::string UserInfoText(const AccountFigures& figures);

// LOGIN asking for the saved id: "1<QX>", or "1<QX>id<QX>" when one is saved (an empty id and
// the text "NULL" mean none).
std::string SavedIdReply(std::string_view saved_id);

// LOGIN accepted: "2<QX>1" + the user information string + "<QX>" + home + "<QX>".
std::string LoginAcceptedReply(const AccountFigures& figures, std::string_view home);

// LOGIN refused: "2<QX>" + code + "<QX><QX>" + home + "<QX>"; code is the first byte of the web
// service's answer, a NUL byte when it gave none.
std::string LoginRefusedReply(char code, std::string_view home);

// DSEND and ESEND mode 4: "QXSENDABLECHECK<QX>" + answer + "<QX>" + kind + "<QX>" + count +
// the user information string.
std::string SendCheckReply(std::string_view answer, const SendCheckRequest& request,
                           const AccountFigures& figures);

// DSEND, ESEND and ASEND: the send's result text (empty when nothing was tried) + the user
// information string.
std::string SendReply(std::string_view result, const AccountFigures& figures);

// EXCEL: the sub-command's prefix ("1<QX>", "2<QX>" or "3<QX>") + the answer.
std::string ExcelReply(ExcelQuery query, std::string_view answer);

// The answer of an EXCEL count or preview: the value, or the workbook's reason for failing.
// The reply carries the reason as "Exception:[reason]".
struct PreviewRow {
  std::string phone;
  std::string number;  // the callback number
  std::string text;    // the composed text
};
// EXCEL 3 lines: per row phone "," number "," text "<QX>"; a phone without "-" gets hyphens
// (after 3 and 6 digits when it has 10, else after 3 and 7), a number without "-" of at least 10
// bytes likewise; the text's ",", "<" and ">" as "&comma;", "&lt;" and "&gt;".
std::string PreviewLines(const std::vector<PreviewRow>& rows);
// One line of PreviewLines.
std::string PreviewLine(PreviewRow row);

// One sheet of the EXCEL 1 listing.
struct SheetListing {
  std::string name;
  std::optional<int> row_count;  // none when the sheet has no columns: no count is shown
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;  // the first rows' non-empty cells
};
// EXCEL 1 listing (after "1<QX>"): per sheet, name "<QX>", then the row count "<QX>" (when
// there is one), the column names separated by "," "<QX>", then the rows separated by "<Q>",
// each cell followed by ",", then "<QX>". Column names and cells have their ",", "<" and ">" as
// "&comma;", "&lt;" and "&gt;".
std::string SheetListingReply(const std::vector<SheetListing>& sheets);

// An address-book group as the group list shows it.
struct AddressGroup {
  std::string name;
  std::string count;  // addresses in the group
  std::string level;
  std::string key;  // what ADDRB 3 asks for
};
struct Address {
  std::string name;
  std::string phone;
};

// ADDRB 2: "2<QX>" + "<GROUP>name::count::level::key" per group + "<QX>".
std::string GroupListReply(const std::vector<AddressGroup>& groups);
// The groups of an ADDRB 2 reply, for front ends: each "<GROUP>" entry up to the next "<QX>",
// its parts split at "::" (missing ones empty); an entry without "::" is skipped.
std::vector<AddressGroup> ParseGroupList(std::string_view reply);
// ADDRB 3: "3<QX>" + "<ADDR>name phone" per address.
std::string AddressListReply(const std::vector<Address>& addresses);
// ADDRB 4: "4<QX>" + each number followed by ",".
std::string RecentNumbersReply(const std::vector<std::string>& numbers);

// MYMSG CNT: "CNT<QX>" + SMS count + "<QX>" + LMS count + "<QX>" + the page of SMS messages.
std::string SavedCountsReply(std::string_view sms_count, std::string_view lms_count,
                             std::string_view page);
// MYMSG SMS or LMS: the kind, "<QX>", the page.
std::string SavedPageReply(std::string_view kind, std::string_view page);
// MYMSG SAVE: "SAVE<QX>" + the web service's message.
std::string SaveMessageReply(std::string_view message);

// EMOTN first page: "<FIRST>" + categories + "<QX>" + count + "<QX>" + page.
std::string CatalogueFirstReply(std::string_view categories, std::string_view count,
                                std::string_view page);
// EMOTN page of a group: count + "<QX>" + page.
std::string CataloguePageReply(std::string_view count, std::string_view page);

// One sent job of the SENDL list.
struct SentJob {
  std::string number;
  std::string time;
  std::string type;
  std::string callback;
  std::string title;
  std::string result;
  std::string count;
};

// The SENDL totals line: selector, "<QX>", four comma-separated values, "<DATA>". `totals` are
// the web service's values; a single value V (the service answered no columns) gives "V,0,0,V"
// for selector 3 and "0,0,0,V" otherwise; missing values are empty.
std::string ResultTotalsLine(int selector, const std::vector<std::string>& totals);
// SENDL: selector 2 "2<DATA>" + rows, else the totals line + rows; each row is the job's seven
// values separated by "<QX>" and ended by "<END>".
std::string SendResultsReply(int selector, std::string_view totals_line,
                             const std::vector<SentJob>& jobs);

// A SENDL reply read back, for front ends: the four totals (all, delivered, failed, waiting;
// empty for selector 2 and where the service gave none) and the rows (CP949, as sent).
struct SendResults {
  std::vector<std::string> totals;
  std::vector<SentJob> jobs;
};
// None when the reply has no "<DATA>" tag. A row with fewer than seven fields gets empty ones.
std::optional<SendResults> ParseSendResults(std::string_view reply);

}  // namespace parley::protocol

#endif  // PARLEY_PROTOCOL_REPLIES_H_
