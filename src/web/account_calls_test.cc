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

TEST(CheckUser, FirstCharacter) {
  EXPECT_EQ(CheckUser("1<COL>welcome"), '1');
  EXPECT_EQ(CheckUser("0"), '0');
  EXPECT_EQ(CheckUser(" 1"), ' ');
  EXPECT_EQ(CheckUser(""), '\0');
}

// A user information reply: fields 0 to 10 split by "<COL>", the amount in field 4, field 6 the
// unit that can make it unlimited, and the tagged counts after them.
std::string UserInfoReply(const std::string& amount, const std::string& unit,
                          const std::string& tags) {
  return "f0<COL>f1<COL>f2<COL>f3<COL>" + amount + "<COL>NAME<COL>" + unit +
         "<COL>f7<COL>f8<COL>f9<COL>GRADE<COL>" + tags;
}

TEST(FormatUserInfo, AmountRules) {
  struct Case {
    const char* amount;
    const char* unit;
    const char* shown;
  };
  const Case cases[] = {
      {"12345.67", "0", "9999999999"},  // field 6 "0": unlimited, whatever the amount
      {"", "0", "9999999999"},
      {"12345.6", "1", "12345.6"},  // one decimal digit: unchanged
      {"12345.67", "1", "12345."},  // two: the "." stays, the digits go
      {"12.345", "1", "12."},
      {".67", "1", ".67"},  // a "." at the start: unchanged
      {"12345", "1", "12345"},
      {"1.2.34", "1", "1."},  // the first "." counts
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatUserInfo(UserInfoReply(c.amount, c.unit, "SMS:1,TXT:2,IMT:3,")),
              std::string("<QX>NAME<QX>GRADE<QX>") + c.shown + "<QX>1<QX>2<QX>3")
        << c.amount << " " << c.unit;
  }
}

TEST(FormatUserInfo, TaggedCounts) {
  struct Case {
    const char* tags;
    const char* counts;  // SMS, TXT and IMT, each after "<QX>"
  };
  const Case cases[] = {
      {"SMS:100,TXT:20,IMT:3,", "<QX>100<QX>20<QX>3"},
      {"SMS:100,TXT:20,IMT:3", "<QX>100<QX>20<QX>"},  // no "," after the last: empty
      {"SMS:,TXT:20,IMT:3,", "<QX><QX>20<QX>3"},
      {"", "<QX>0<QX>0<QX>0"},                  // no tags: zeros
      {"SMS:100,IMT:3,", "<QX>100<QX>0<QX>3"},  // TXT missing
      // TXT missing: IMT is looked for from the first "," at or after position 3, which here
      // stands before it, not from the "," after the SMS value.
      {"X,IMT:3,SMS:100,", "<QX>100<QX>0<QX>3"},
      // SMS without a "," after it: TXT is not looked for at all.
      {"TXT:20,SMS:100", "<QX><QX>0<QX>0"},
      {"IMT:3,TXT:20,SMS:100,", "<QX>100<QX>0<QX>0"},  // each tag is looked for after the last
      // The 'S' of "SMS:" as the second byte of a two-byte character is not a tag.
      {"\xB1SMS:9,SMS:100,TXT:20,IMT:3,", "<QX>100<QX>20<QX>3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatUserInfo(UserInfoReply("500", "1", c.tags)),
              std::string("<QX>NAME<QX>GRADE<QX>500") + c.counts)
        << c.tags;
  }
  EXPECT_EQ(FormatUserInfo(""), "<QX><QX><QX><QX>0<QX>0<QX>0");
}

}  // namespace
}  // namespace parley
