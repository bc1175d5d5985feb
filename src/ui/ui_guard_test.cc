#include "ui/ui_guard.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

TEST(UiGuardTest, OnlyTheLoopbackAddressAndItsPortPass) {
  struct Case {
    const char* text;
    bool host;
    bool origin;
  };
  const Case cases[] = {
      {"127.0.0.1:8123", true, false},
      {"localhost:8123", true, false},
      {"http://127.0.0.1:8123", false, true},
      {"http://localhost:8123", false, true},
      // Another port, a rebinding name, a name that only starts right, another scheme.
      {"127.0.0.1:8124", false, false},
      {"evil.example:8123", false, false},
      {"127.0.0.1:8123.evil.example", false, false},
      {"http://127.0.0.1:8123.evil.example", false, false},
      {"https://127.0.0.1:8123", false, false},
      {"http://127.0.0.1", false, false},
      {"", false, false},
      {"null", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HostAllowed(c.text, 8123), c.host) << c.text;
    EXPECT_EQ(OriginAllowed(c.text, 8123), c.origin) << c.text;
  }
}

TEST(UiGuardTest, TokensAreRandomAndTheCookieCarriesOne) {
  const auto a = NewUiToken();
  const auto b = NewUiToken();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->size(), 32u);
  EXPECT_NE(*a, *b);
  EXPECT_TRUE(TokensEqual(*a, *a));
  EXPECT_FALSE(TokensEqual(*a, *b));
  EXPECT_FALSE(TokensEqual(*a, a->substr(1)));
  EXPECT_EQ(CookieValue("x=1; parley_ui=abc; y=2", kUiCookieName), "abc");
  EXPECT_EQ(CookieValue("parley_uix=abc", kUiCookieName), "");
  EXPECT_EQ(CookieValue("", kUiCookieName), "");
  const std::string cookie = TokenCookie("abc");
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
}

}  // namespace
}  // namespace parley
