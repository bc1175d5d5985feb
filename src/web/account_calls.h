// The account calls of the web service: login, user information and logout.
//
// A command handler creates a LoginRequest for one command, fills it with the builders below and
// sends it with the web client; the web service keeps the login in its session cookie.
#ifndef PARLEY_WEB_ACCOUNT_CALLS_H_
#define PARLEY_WEB_ACCOUNT_CALLS_H_

#include <string>
#include <string_view>

#include "web/web_target.h"

namespace parley {

// The engine version the login form reports.
inline constexpr char kEngineVersionText[] = "1.0.0.0";

struct LoginRequest {
  std::string login_id;
  std::string password;
  WebTarget target;
  std::string form;  // the login form, set by BuildLogin

  // Splits the LOGIN arguments (id, password and optionally "SAVE", separated by "<QX>") into
  // login_id and password, a missing field being empty. Returns true exactly when the third
  // field is "SAVE" (case-sensitive).
  bool ParseLoginArgs(std::string_view args);

  // Targets "<base>/QX/loginok.asp" and sets the form
  // "loginid=<id>&loginpass=<password>&lmode=QX&Ver=1.0.0.0", built with FormBody.
  void BuildLogin(std::string_view base_url);

  // Targets "<base>:443/Ajax/GetUserInfo.asp" (fetched with a GET; the ":443" is not used).
  void BuildUserInfo(std::string_view base_url);
};

// The first byte of the login reply, or '\0' for an empty reply. '1' means the login was
// accepted.
char CheckUser(std::string_view reply);

// The user information string from the reply of the user information request: "<QX>" before
// each of field 5, field 10, the amount (field 4), and the values tagged "SMS:", "TXT:" and
// "IMT:", fields being split at "<COL>". The amount is "9999999999" when field 6 is "0", and
// loses the digits after its "." when at least two follow a "." that is not its first
// character. A tag's value runs to the next ","; a tag not found gives "0", a value without a
// "," after it is empty, and a tag after a missing "," is not looked for.
std::string FormatUserInfo(std::string_view reply);

// The logout request: the base URL's host and "/Member/logout.asp?lmode=QX", fetched with a GET
// whose reply nobody reads.
WebTarget BuildLogout(std::string_view base_url);

}  // namespace parley

#endif  // PARLEY_WEB_ACCOUNT_CALLS_H_
