// The endpoint table: each endpoint's request, byte for byte.
#include "web/endpoints.h"

#include <gtest/gtest.h>

namespace parley {
namespace {

constexpr char kBase[] = "http://www.example.com";

TEST(EndpointTable, OneRowPerEndpointInOrder) {
  size_t i = 0;
  for (const EndpointRow& row : EndpointTable()) {
    EXPECT_EQ(static_cast<size_t>(row.endpoint), i++);
  }
  EXPECT_EQ(i, static_cast<size_t>(Endpoint::kDailyStat) + 1);
}

TEST(EndpointTable, BuildsExactRequests) {
  struct Case {
    WebRequest request;
    HttpMethod method;
    uint16_t port;  // as the URL names it; requests go to the client's port
    std::string object;
    std::string form;
  };
  const auto get = HttpMethod::kGet;
  const auto post = HttpMethod::kPost;
  const Case cases[] = {
      // Form values are encoded; nothing else is.
      {RequestFor(kBase, Endpoint::kLogin, {"qx\xB0\xA1", "p&w=1 +"}), post, 80, "/QX/loginok.asp",
       "loginid=qx\xB0\xA1&loginpass=p%26w%3D1 %2B&lmode=QX&Ver=1.0.0.0"},
      {RequestFor(kBase, Endpoint::kUserInfo, {}), get, 443, "/Ajax/GetUserInfo.asp", ""},
      {RequestFor(kBase, Endpoint::kLogout, {}), get, 80, "/Member/logout.asp?lmode=QX", ""},
      // The logout goes to the host's root, whatever path the base URL has.
      {RequestFor("http://www.example.com/qx", Endpoint::kLogout, {}), get, 80,
       "/Member/logout.asp?lmode=QX", ""},
      {RequestFor("http://www.example.com/qx", Endpoint::kUserInfo, {}), get, 80,
       "/qx:443/Ajax/GetUserInfo.asp", ""},
      {RequestFor(kBase, Endpoint::kSendCheck, {"LMS", "2", "2024 3&1"}), post, 80,
       "/QX/sendablecheck.asp", "type=LMS&totcnt=2&reserdate=2024 3%261"},
      // The sent report is a form already: it goes as it is.
      {RequestFor(kBase, Endpoint::kSentReport, {"a=1&b=%26"}), post, 80, "/QX/sended.asp",
       "a=1&b=%26"},
      {RequestFor(kBase, Endpoint::kSentReport, {}), post, 80, "/QX/sended.asp", ""},
      {RequestFor(kBase, Endpoint::kCatalogueTypes, {"SMS"}), get, 443,
       "/Ajax/GetCatText.asp?type=SMS&gubun=1", ""},
      {RequestFor(kBase, Endpoint::kCatalogueTypes, {"a b&c=\xB0\xA1"}), get, 443,
       "/Ajax/GetCatText.asp?type=a b&c=\xB0\xA1&gubun=1", ""},
      {RequestFor(kBase, Endpoint::kCatalogueCount, {"", "7"}), get, 80,
       "/Ajax/GetEmoticonCNT.asp?gseq=&type=7&mode=", ""},
      {RequestFor(kBase, Endpoint::kCatalogueCount, {"12", "7"}), get, 80,
       "/Ajax/GetEmoticonCNT.asp?gseq=12&type=7&mode=", ""},
      // The catalogue puts pg before ps...
      {RequestFor(kBase, Endpoint::kCataloguePage, {"", "7", "2", "10"}), get, 80,
       "/Ajax/GetEmoticon.asp?gseq=&type=7&mode=&pg=2&ps=10", ""},
      {RequestFor(kBase, Endpoint::kSavedCount, {"LMS"}), get, 443,
       "/Ajax/GetEmoticonCNT.asp?mode=user&type=LMS", ""},
      // ...the user's box ps before pg.
      {RequestFor(kBase, Endpoint::kSavedPage, {"SMS", "10", "2"}), get, 443,
       "/Ajax/GetEmoticon.asp?mode=user&type=SMS&ps=10&pg=2", ""},
      {RequestFor(kBase, Endpoint::kSaveMessage, {"hi & bye", "t=1", "SMS"}), post, 443,
       "/Ajax/SaveEmoticon.asp", "msg=hi %26 bye&subject=t%3D1&msgtype=SMS"},
      {RequestFor(kBase, Endpoint::kResultTotals, {"20240101", "20240131"}), get, 80,
       "/Ajax/GetSendResultCNT.asp?sdate=20240101&edate=20240131", ""},
      {RequestFor(kBase, Endpoint::kStatTotals,
                  {"20240101", "20240131", "SMS", "", "1", "0101234"}),
       get, 443,
       "/Ajax/GetSendStatCNT.asp?sdate=20240101&edate=20240131&msgtype=SMS&account=&"
       "rsltcode=&numflag=1&phone=0101234",
       ""},
      {RequestFor(kBase, Endpoint::kStatPage,
                  {"20240101", "20240131", "SMS", "", "1", "0101234", "2", "10"}),
       get, 80,
       "/Ajax/GetSendStat.asp?sdate=20240101&edate=20240131&msgtype=SMS&account=&"
       "rsltcode=&numflag=1&phone=0101234&pg=2&ps=10",
       ""},
      // Missing arguments are empty.
      {RequestFor(kBase, Endpoint::kStatPage, {"a", "b"}), get, 80,
       "/Ajax/GetSendStat.asp?sdate=a&edate=b&msgtype=&account=&rsltcode=&numflag=&phone=&pg=&"
       "ps=",
       ""},
      {RequestFor(kBase, Endpoint::kDailyStat, {"2024", "01", "2024", "06"}), get, 443,
       "/Ajax/GetDailyStat.asp?syy=2024&smm=01&eyy=2024&emm=06", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.object);
    EXPECT_EQ(c.request.method, c.method);
    EXPECT_EQ(c.request.target.server, "www.example.com");
    EXPECT_EQ(c.request.target.port, c.port);
    EXPECT_EQ(c.request.target.object, c.object);
    EXPECT_EQ(c.request.form, c.form);
  }
  // A base URL that cannot be split leaves the request without a server: it fails when sent.
  EXPECT_EQ(RequestFor("www.example.com", Endpoint::kUserInfo, {}).target.server, "");
}

}  // namespace
}  // namespace parley
