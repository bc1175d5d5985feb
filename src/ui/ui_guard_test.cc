#include "ui/ui_guard.h"

#include <set>

#include <gtest/gtest.h>

namespace parley {
namespace {

TEST(UiGuardTest, OnlyThePagesAddressAndPortPass) {
  struct Case {
    const char* address;  // the page's
    const char* text;
    bool host;
    bool origin;
  };
  const Case cases[] = {
      {"127.9.8.7", "127.9.8.7:8123", true, false},
      {"127.9.8.7", "http://127.9.8.7:8123", false, true},
      // Other loopback names reach other servers, whose cookies the browser keeps apart.
      {"127.9.8.7", "127.0.0.1:8123", false, false},
      {"127.9.8.7", "localhost:8123", false, false},
      {"127.9.8.7", "http://localhost:8123", false, false},
      {"127.0.0.1", "127.0.0.1:8123", true, false},
      {"127.0.0.1", "localhost:8123", true, false},
      {"127.0.0.1", "http://localhost:8123", false, true},
      // Another port, a rebinding name, a name that only starts right, another scheme.
      {"127.9.8.7", "127.9.8.7:8124", false, false},
      {"127.9.8.7", "evil.example:8123", false, false},
      {"127.9.8.7", "127.9.8.7:8123.evil.example", false, false},
      {"127.9.8.7", "http://127.9.8.7:8123.evil.example", false, false},
      {"127.9.8.7", "https://127.9.8.7:8123", false, false},
      {"127.9.8.7", "http://127.9.8.7", false, false},
      {"127.9.8.7", "", false, false},
      {"127.9.8.7", "null", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HostAllowed(c.text, c.address, 8123), c.host) << c.address << " " << c.text;
    EXPECT_EQ(OriginAllowed(c.text, c.address, 8123), c.origin) << c.address << " " << c.text;
  }
}

TEST(UiGuardTest, EachLaunchHasALoopbackAddressOfItsOwn) {
  std::set<std::string> seen;
  for (int i = 0; i < 20; ++i) {
    const auto address = RandomLoopbackAddress();
    ASSERT_TRUE(address);
    EXPECT_TRUE(IsLoopbackAddress(*address)) << *address;
    EXPECT_FALSE(address->starts_with("127.0.")) << *address;
    seen.insert(*address);
  }
  EXPECT_GT(seen.size(), 15u);
  for (const char* bad : {"10.0.0.1", "127.0.0.256", "127.0.0", "127.0.0.1 ", "127.00.0.1",
                          "127.0.0.1:80", "localhost", ""}) {
    EXPECT_FALSE(IsLoopbackAddress(bad)) << bad;
  }
  EXPECT_TRUE(IsLoopbackAddress("127.0.0.1"));
}

TEST(UiGuardTest, ATokenOpensOneSessionOnce) {
  UiDoor door;
  const auto a = door.IssueToken();
  const auto b = door.IssueToken();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->size(), 32u);
  EXPECT_NE(*a, *b);
  EXPECT_FALSE(door.Admits(*a)) << "a token is no session";
  EXPECT_FALSE(door.Redeem(a->substr(1)));
  EXPECT_FALSE(door.Redeem(""));
  const auto session = door.Redeem(*a);
  ASSERT_TRUE(session);
  EXPECT_NE(*session, *a);
  EXPECT_TRUE(door.Admits(*session));
  EXPECT_FALSE(door.Redeem(*a)) << "spent";
  EXPECT_FALSE(door.Admits(""));
  EXPECT_FALSE(door.Admits(session->substr(1)));
  // The other token still opens a session of its own.
  const auto other = door.Redeem(*b);
  ASSERT_TRUE(other);
  EXPECT_NE(*other, *session);
  EXPECT_TRUE(door.Admits(*session) && door.Admits(*other));

  EXPECT_TRUE(TokensEqual(*a, *a));
  EXPECT_FALSE(TokensEqual(*a, *b));
  EXPECT_EQ(CookieValue("x=1; parley_ui=abc; y=2", kUiCookieName), "abc");
  EXPECT_EQ(CookieValue("parley_uix=abc", kUiCookieName), "");
  EXPECT_EQ(CookieValue("", kUiCookieName), "");
  const std::string cookie = SessionCookie("abc");
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
}

}  // namespace
}  // namespace parley
