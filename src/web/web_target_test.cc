#include "web/web_target.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

TEST(ParseUrl, SplitsServerPortAndObject) {
  struct Case {
    const char* url;
    const char* server;
    uint16_t port;
    UrlScheme service;
    const char* object;
  };
  const Case cases[] = {
      {"http://www.example.com/QX/loginok.asp", "www.example.com", 80, UrlScheme::kHttp,
       "/QX/loginok.asp"},
      // ":443" ends in the port; the scheme stays http.
      {"http://www.example.com:443/Ajax/GetUserInfo.asp", "www.example.com", 443, UrlScheme::kHttp,
       "/Ajax/GetUserInfo.asp"},
      // The query goes with the object byte for byte, empty values and CP949 included.
      {"http://h:443/Ajax/GetEmoticon.asp?gseq=&type=\xB0\xA1&mode=&pg=1&ps=10", "h", 443,
       UrlScheme::kHttp, "/Ajax/GetEmoticon.asp?gseq=&type=\xB0\xA1&mode=&pg=1&ps=10"},
      {"HTTPS://h", "h", 443, UrlScheme::kHttps, "/"},
      {"http://127.0.0.1:8080", "127.0.0.1", 8080, UrlScheme::kHttp, "/"},
      {"http://h?a=1", "h", 80, UrlScheme::kHttp, "/?a=1"},
      {"http://user:pw@h:81/x", "h", 81, UrlScheme::kHttp, "/x"},
      {"http://[::1]:81/x", "::1", 81, UrlScheme::kHttp, "/x"},
      {"http://h:/x", "h", 80, UrlScheme::kHttp, "/x"},
  };
  for (const Case& c : cases) {
    WebTarget t;
    ASSERT_TRUE(ParseUrl(c.url, &t)) << c.url;
    EXPECT_EQ(t.server, c.server) << c.url;
    EXPECT_EQ(t.port, c.port) << c.url;
    EXPECT_EQ(t.service, c.service) << c.url;
    EXPECT_EQ(t.object, c.object) << c.url;
  }
}

TEST(ParseUrl, RefusesWhatIsNotAnHttpUrl) {
  for (const char* url : {"", "www.example.com/x", "ftp://h/x", "http:///x", "http://h:0/x",
                          "http://h:65536/x", "http://h:8o/x", "http://[::1/x"}) {
    WebTarget t;
    t.server = "left over";
    EXPECT_FALSE(ParseUrl(url, &t)) << url;
    EXPECT_EQ(t.server, "") << url;
    EXPECT_EQ(TargetOf(url).server, "") << url;
  }
}

}  // namespace
}  // namespace parley
