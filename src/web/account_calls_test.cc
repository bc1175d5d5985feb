#include "web/account_calls.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

constexpr char kBase[] = "http://www.example.com";

TEST(LoginRequest, ParseLoginArgs) {
  struct Case {
    const char* args;
    const char* id;
    const char* password;
    bool save;
  };
  const Case cases[] = {
      {"qxuser<QX>qxpass<QX>SAVE", "qxuser", "qxpass", true},
      {"qxuser<QX>qxpass", "qxuser", "qxpass", false},
      {"qxuser<QX>qxpass<QX>save", "qxuser", "qxpass", false},
      {"qxuser<QX>qxpass<QX>SAVE<QX>more", "qxuser", "qxpass", true},
      {"qxuser", "qxuser", "", false},
      {"", "", "", false},
      {"a`b<QX>SAVE", "a", "b", true},  // a backtick separates as well
  };
  for (const Case& c : cases) {
    LoginRequest r;
    EXPECT_EQ(r.ParseLoginArgs(c.args), c.save) << c.args;
    EXPECT_EQ(r.login_id, c.id) << c.args;
    EXPECT_EQ(r.password, c.password) << c.args;
  }
}

TEST(LoginRequest, BuildersAndLogout) {
  LoginRequest r;
  r.ParseLoginArgs("qx\xB0\xA1<QX>p&w=1 +");
  r.BuildLogin(kBase);
  EXPECT_EQ(r.target.server, "www.example.com");
  EXPECT_EQ(r.target.port, 80);
  EXPECT_EQ(r.target.object, "/QX/loginok.asp");
  // Values go in as they are: no encoding.
  EXPECT_EQ(r.form, "loginid=qx\xB0\xA1&loginpass=p%26w%3D1 %2B&lmode=QX&Ver=1.0.0.0");

  r.BuildUserInfo(kBase);
  EXPECT_EQ(r.target.server, "www.example.com");
  EXPECT_EQ(r.target.port, 443);
  EXPECT_EQ(r.target.object, "/Ajax/GetUserInfo.asp");

  const WebTarget out = BuildLogout(kBase);
  EXPECT_EQ(out.server, "www.example.com");
  EXPECT_EQ(out.object, "/Member/logout.asp?lmode=QX");
}

}  // namespace
}  // namespace parley
