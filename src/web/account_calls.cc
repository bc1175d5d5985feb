#include "web/account_calls.h"

#include "web/reply_data.h"

#include <array>
#include <vector>

#include "text/mbcs.h"
#include "text/text_codes.h"
#include "web/reply_text.h"

namespace parley {
namespace {

constexpr char kSaveFlag[] = "SAVE";
constexpr char kLogoutObject[] = "/Member/logout.asp?lmode=QX";

// FindText with signed positions: -1 for "none", and for a start outside the text.

}  // namespace

bool LoginRequest::ParseLoginArgs(std::string_view args) {
  QxFields fields(args);
  login_id = std::string(fields[0]);
  password = std::string(fields[1]);
  return fields[2] == kSaveFlag;
}

void LoginRequest::BuildLogin(std::string_view base_url) {
  target = TargetOf(std::string(base_url) + "/QX/loginok.asp");
  form = FormBody({{"loginid", login_id},
                   {"loginpass", password},
                   {"lmode", "QX"},
                   {"Ver", kEngineVersionText}});
}

void LoginRequest::BuildUserInfo(std::string_view base_url) {
  target = TargetOf(std::string(base_url) + ":443/Ajax/GetUserInfo.asp");
}

char CheckUser(std::string_view reply) { return LoginCode(reply); }

std::string FormatUserInfo(std::string_view reply) {
  return protocol::UserInfoText(ParseUserInfo(reply));
}

WebTarget BuildLogout(std::string_view base_url) {
  WebTarget target = TargetOf(base_url);
  target.object = kLogoutObject;
  return target;
}

}  // namespace parley
