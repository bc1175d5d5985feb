#include "web/catalogue_calls.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

constexpr char kBase[] = "http://www.example.com";

TEST(CatalogueCalls, BuildExactUrls) {
  struct Case {
    WebTarget target;
    uint16_t port;
    const char* object;
  };
  const Case cases[] = {
      {GetCatText(kBase, "SMS"), 443, "/Ajax/GetCatText.asp?type=SMS&gubun=1"},
      {GetEmoticonCNT(kBase, "", "7"), 80, "/Ajax/GetEmoticonCNT.asp?gseq=&type=7&mode="},
      {GetEmoticonCNT(kBase, "12", "7"), 80, "/Ajax/GetEmoticonCNT.asp?gseq=12&type=7&mode="},
      // The catalogue puts pg before ps...
      {GetEmoticon(kBase, "", "7", "2", "10"), 80,
       "/Ajax/GetEmoticon.asp?gseq=&type=7&mode=&pg=2&ps=10"},
      {GetUserEmoticonCNT(kBase, "LMS"), 443, "/Ajax/GetEmoticonCNT.asp?mode=user&type=LMS"},
      // ...the user's box ps before pg.
      {GetUserEmoticon(kBase, "SMS", "10", "2"), 443,
       "/Ajax/GetEmoticon.asp?mode=user&type=SMS&ps=10&pg=2"},
      // Values go in unencoded.
      {GetCatText(kBase, "a b&c=\xB0\xA1"), 443,
       "/Ajax/GetCatText.asp?type=a b&c=\xB0\xA1&gubun=1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.target.server, "www.example.com") << c.object;
    EXPECT_EQ(c.target.port, c.port) << c.object;
    EXPECT_EQ(c.target.object, c.object);
  }
}

TEST(CatalogueCalls, SaveEmoticonForm) {
  WebTarget target;
  EXPECT_EQ(SaveEmoticon(kBase, "hi & bye", "t=1", "SMS", &target),
            "msg=hi %26 bye&subject=t%3D1&msgtype=SMS");
  EXPECT_EQ(target.server, "www.example.com");
  EXPECT_EQ(target.port, 443);
  EXPECT_EQ(target.object, "/Ajax/SaveEmoticon.asp");
}

}  // namespace
}  // namespace parley
