// The send permission check and the sent report: the two form POSTs around every send.
#ifndef PARLEY_WEB_SEND_CALLS_H_
#define PARLEY_WEB_SEND_CALLS_H_

#include <string>
#include <string_view>

namespace parley {

class CWebClient;

// The message kind the send check names for a kind code of the UI program: "1" is "SMS", "2" is
// "LMS", anything else "MMS".
std::string_view SendCheckKind(std::string_view kind_code);

// Asks the web service whether a send may go ahead: posts
// "type=<kind>&totcnt=<count>&reserdate=<date>" (built with FormBody) to
// "<base>/QX/sendablecheck.asp".
// In the client's reply text every "<COL>" becomes "<QX>" and then every "<BR>" a line feed;
// *answer gets that text. Returns true exactly when it starts with '1' (a failed request leaves
// it empty: false).
bool CheckSendable(CWebClient& web, std::string_view base_url, std::string_view kind_code,
                   std::string_view count, std::string_view reserve_date, std::string* answer);

// Posts the sent report (a form body, possibly empty) to "<base>/QX/sended.asp". The reply is not
// read; always returns true.
bool ReportSent(CWebClient& web, std::string_view base_url, std::string_view report);

}  // namespace parley

#endif  // PARLEY_WEB_SEND_CALLS_H_
