// Every request type: built to its exact bytes and parsed back to the same fields; and bodies as
// UI programs send them (the examples of the protocol page, the engine tests' bodies, and the
// odd ones the engine has always read its own way) parsed to the fields the engine uses.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/query_requests.h"
#include "protocol/send_requests.h"
#include "text/cp949.h"

namespace parley::protocol {
namespace {

// Bodies reach the parsers in CP949.
std::string Ko(std::string_view utf8) { return Utf8ToAnsi(utf8); }

// The request built is `bytes`, and `bytes` parses back to the request.
template <typename Request>
struct Wire {
  Request request;
  std::string bytes;
};

template <typename Request>
void ExpectRoundTrips(const std::vector<Wire<Request>>& cases) {
  for (const Wire<Request>& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(c.request.Build(), c.bytes);
    EXPECT_TRUE(Request::Parse(c.bytes) == c.request);
  }
}

// `body` as sent parses to `request` (which need not build back to the same bytes).
template <typename Request>
void ExpectParses(const std::vector<Wire<Request>>& cases) {
  for (const Wire<Request>& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_TRUE(Request::Parse(c.bytes) == c.request) << Request::Parse(c.bytes).Build();
  }
}

TEST(SendRequestTest, SendCheck) {
  ExpectRoundTrips<SendCheckRequest>({
      {{"2", "1", ""}, "4<QX>2<QX>1<QX>"},
      {{"300", "3", "202612241800"}, "4<QX>300<QX>3<QX>202612241800"},
  });
  ExpectParses<SendCheckRequest>({
      {{"", "", ""}, "4"},
      {{"2", "", ""}, "4<QX>2"},
      // A raw backtick separates fields as "<QX>" does.
      {{"2", "1", "x"}, "4`2<QX>1`x<QX>extra"},
  });
}

TEST(SendRequestTest, ModesAndBackticks) {
  struct Case {
    std::string body;
    int mode;
  };
  const Case cases[] = {{"4<QX>2", 4}, {"1<QX>2", 1}, {" 3`x", 3}, {"", 0},
                        {"x<QX>1", 0}, {"12abc", 12}, {"-1", -1},  {"<QX>1", 0}};
  for (const Case& c : cases) EXPECT_EQ(SendModeOf(c.body), c.mode) << c.body;
  EXPECT_TRUE(IsSendingMode(kSendSms));
  EXPECT_TRUE(IsSendingMode(kSendPicture));
  EXPECT_FALSE(IsSendingMode(kSendCheck));
  EXPECT_FALSE(IsSendingMode(0));
  EXPECT_TRUE(HoldsRawBacktick("1<QX>a`b"));
  EXPECT_FALSE(HoldsRawBacktick("1<QX>a&gacct;b"));
}

TEST(SendRequestTest, DirectSend) {
  ExpectRoundTrips<DirectSendRequest>({
      {{1, 2, Ko("인사"), "", "01011112222,01033334444", "0212345678", Ko("안녕하세요"), {}},
       Ko("1<QX>2<QX>인사<QX><QX>01011112222,01033334444<QX>0212345678<QX>안녕하세요")},
      {{3, 1, "", "202612241800", "010", "02", "a&lt;b", {"a.jpg", "b.jpg"}},
       "3<QX>1<QX><QX>202612241800<QX>010<QX>02<QX>a&lt;b<QX><IMG>a.jpg,b.jpg"},
      {{2, 0, "", "", "", "", "", {"p.jpg"}}, "2<QX>0<QX><QX><QX><QX><QX><QX><IMG>p.jpg"},
  });
  ExpectParses<DirectSendRequest>({
      // Missing fields are empty; the count is read as atoi reads it.
      {{1, 12, "T", "", "", "", "", {}}, "1<QX>12x<QX>T"},
      {{1, 0, "", "", "", "", "", {}}, "1<QX>many"},
      // At most three names, ending at the first empty one.
      {{3, 1, "", "", "0", "0", "t", {"a", "b", "c"}},
       "3<QX>1<QX><QX><QX>0<QX>0<QX>t<QX><IMG>a,b,c,d"},
      {{3, 1, "", "", "0", "0", "t", {"a"}}, "3<QX>1<QX><QX><QX>0<QX>0<QX>t<QX><IMG>a,,b"},
      // "<IMG>" anywhere after the first byte makes field 7 the list, less its first five bytes.
      {{3, 1, "", "", "0", "0", "<IMG>", {"jpg"}}, "3<QX>1<QX><QX><QX>0<QX>0<QX><IMG><QX>xxxxxjpg"},
      // A field 7 without "<IMG>" anywhere is not read.
      {{3, 1, "", "", "0", "0", "t", {}}, "3<QX>1<QX><QX><QX>0<QX>0<QX>t<QX>a.jpg"},
      // A raw backtick shifts the fields after it.
      {{1, 1, "a", "b", "c", "d", "e", {}}, "1<QX>1<QX>a`b<QX>c<QX>d<QX>e<QX>f"},
  });
}

TEST(SendRequestTest, GroupSend) {
  ExpectRoundTrips<GroupSendRequest>({
      {{1, 6, "T", "2026122418", "Friends,Work", "01100000000", "021", "a&lt;b", {}},
       "1<QX>6<QX>T<QX>2026122418<QX>Friends,Work<QX>01100000000<QX>021<QX>a&lt;b"},
      {{3, 3, "", "", "Work", "011,012", "02-1", "long", {"a.jpg"}},
       "3<QX>3<QX><QX><QX>Work<QX>011,012<QX>02-1<QX>long<QX><IMG>a.jpg"},
  });
  ExpectParses<GroupSendRequest>({
      {{9, 1, "T", "", "", "011", "021", "x", {}}, "9<QX>1<QX>T<QX><QX><QX>011<QX>021<QX>x"},
      {{2, 0, "", "", "", "", "", "", {}}, "2"},
  });
}

TEST(SendRequestTest, ExcelSend) {
  ExpectRoundTrips<ExcelSendRequest>({
      {{1,
        300,
        "T",
        "",
        Ko("수신자$"),
        false,
        Ko("전화"),
        "0212345678",
        Ko("이름<Q>[이름:6]님"),
        "11",
        {}},
       Ko("1<QX>300<QX>T<QX><QX>수신자$<QX>전화<QX>0212345678<QX>이름<Q>[이름:6]님<QX>11")},
      {{3,
        300,
        "T",
        "",
        Ko("수신자$"),
        true,
        Ko("전화"),
        Ko("회신"),
        Ko("이름<Q>[이름:6]님"),
        "1",
        {"a.jpg", "b.jpg"}},
       Ko("3<QX>300<QX>T<QX><QX>수신자$<QX><OVERLAP>전화<QX>회신<QX>이름<Q>[이름:6]님<QX>1"
          "<QX><IMG>a.jpg,b.jpg,")},
      {{1, 1, "", "", "S$", false, "a&comma;b", "c&comma;d", "", "", {}},
       "1<QX>1<QX><QX><QX>S$<QX>a&comma;b<QX>c&comma;d<QX><QX>"},
  });
  ExpectParses<ExcelSendRequest>({
      // A name is read only when a comma follows it.
      {{2, 5, "", "", "S$", false, "p", "c", "t", "1", {"a.jpg"}},
       "2<QX>5<QX><QX><QX>S$<QX>p<QX>c<QX>t<QX>1<QX><IMG>a.jpg,b.jpg"},
      {{2, 5, "", "", "S$", false, "p", "c", "t", "1", {}},
       "2<QX>5<QX><QX><QX>S$<QX>p<QX>c<QX>t<QX>1<QX><IMG>,a.jpg,"},
      // "<OVERLAP>" anywhere in the field drops the field's first nine bytes.
      {{1, 5, "", "", "S$", true, "P>", "c", "t", "1", {}},
       "1<QX>5<QX><QX><QX>S$<QX>ab<OVERLAP><QX>c<QX>t<QX>1"},
      {{1, 0, "", "", "", false, "", "", "", "", {}}, "1"},
  });
  ExcelSendRequest r;
  r.callback_mode = "1";
  EXPECT_TRUE(r.CallbackColumn());
  r.callback_mode = "11";
  EXPECT_FALSE(r.CallbackColumn());
  r.callback_mode = "";
  EXPECT_TRUE(r.CallbackColumn());
}

TEST(QueryRequestTest, Login) {
  ExpectRoundTrips<LoginRequest>({
      {{"qxuser", "qxpass", true}, "qxuser<QX>qxpass<QX>SAVE"},
      {{"qxuser", "qxpass", false}, "qxuser<QX>qxpass"},
  });
  ExpectParses<LoginRequest>({
      {{"qxuser", "qxpass", false}, "qxuser<QX>qxpass<QX>save"},
      {{"qxuser", "", false}, "qxuser"},
      {{"a", "b", true}, "a`b`SAVE"},
      {{"qxuser", "qxpass", true}, "qxuser<QX>qxpass<QX>SAVE<QX>more"},
      {{"", "", false}, ""},
  });
  EXPECT_TRUE(LoginRequest::AsksSavedId(""));
  EXPECT_TRUE(LoginRequest::AsksSavedId("a<QX>b"));
  EXPECT_FALSE(LoginRequest::AsksSavedId("ab<QX>c"));
}

TEST(QueryRequestTest, EndAndAddressBook) {
  ExpectRoundTrips<EndRequest>({{{0}, "0"}, {{1}, "1"}});
  ExpectParses<EndRequest>({{{7}, " 7x"}, {{0}, ""}});
  ExpectRoundTrips<AddressRequest>({
      {{AddressRequest::kGroups, ""}, "2"},
      {{AddressRequest::kAddresses, "17"}, "3<QX>17"},
      {{AddressRequest::kRecent, ""}, "4"},
  });
  ExpectParses<AddressRequest>({{{3, "x"}, "3`x"}, {{0, ""}, "GROUPS"}});
}

TEST(QueryRequestTest, Excel) {
  struct QueryCase {
    std::string body;
    ExcelQuery query;
  };
  const QueryCase queries[] = {{"1<QX>/a.xlsx", ExcelQuery::kListing},
                               {"2<QX>S$<QX>c", ExcelQuery::kCount},
                               {"3<QX>S$", ExcelQuery::kPreview},
                               {"", ExcelQuery::kPreview},
                               {" 1<QX>x", ExcelQuery::kPreview}};
  for (const QueryCase& c : queries) EXPECT_EQ(ExcelQueryOf(c.body), c.query) << c.body;

  ExpectRoundTrips<CountRequest>({{{Ko("수신자$"), Ko("[전화]")}, Ko("2<QX>수신자$<QX>[전화]")}});
  ExpectParses<CountRequest>({{{"S$", ""}, "2<QX>S$"}});
  ExpectRoundTrips<PreviewRequest>({
      {{Ko("수신자$"), Ko("전화"), "0212345678", Ko("이름<Q>[이름:6]님 안녕하세요"), "11"},
       Ko("3<QX>수신자$<QX>전화<QX>0212345678<QX>이름<Q>[이름:6]님 안녕하세요<QX>11")},
  });
  ExpectParses<PreviewRequest>({{{"S$", "p", "", "", ""}, "9<QX>S$<QX>p"}});

  const ListingRequest listing{"/home/kim/명단.xlsx"};
  EXPECT_EQ(listing.Build(), "1<QX>/home/kim/명단.xlsx");
  // The path is the bytes sent, whatever the CP949 text made of them.
  EXPECT_TRUE(ListingRequest::Parse(listing.Build(), "1<QX>/home/kim/??.xlsx") == listing);
  // A prefix that is not ASCII: the path comes from the CP949 text.
  EXPECT_EQ(ListingRequest::Parse("\xED\x95\x9C<QX>/a", "\xC7\xD1<QX>/\xB0\xA1").path, ">/가");
  EXPECT_EQ(ListingRequest::Parse("\xED\x95", "\xC7\xD1").path, "");
}

TEST(QueryRequestTest, WebServiceQueries) {
  ExpectRoundTrips<SavedMessagesRequest>({
      {{"CNT", "2", "10"}, "CNT<QX>2<QX>10"},
      {{"LMS", "1", "10"}, "LMS<QX>1<QX>10"},
  });
  EXPECT_TRUE(SavedMessagesRequest::Parse("SMS<QX>1").Known());
  EXPECT_FALSE(SavedMessagesRequest::Parse("cnt<QX>1<QX>10").Known());
  EXPECT_FALSE(SavedMessagesRequest::Parse("SAVE<QX>x").Known());
  EXPECT_TRUE(SaveMessageRequest::Matches("SAVE"));
  EXPECT_TRUE(SaveMessageRequest::Matches("SAVE<QX>x"));
  EXPECT_TRUE(SaveMessageRequest::Matches("SAVE`x"));
  EXPECT_FALSE(SaveMessageRequest::Matches("SAVED<QX>x"));
  EXPECT_FALSE(SaveMessageRequest::Matches("save<QX>x"));
  EXPECT_FALSE(SaveMessageRequest::Matches(" SAVE"));
  ExpectRoundTrips<SaveMessageRequest>(
      {{{"hello", "subject", "SMS"}, "SAVE<QX>hello<QX>subject<QX>SMS"}});

  ExpectRoundTrips<CatalogueFirstRequest>({{{"SMS", "1", "10"}, "<FIRST>SMS<QX>1<QX>10"}});
  EXPECT_TRUE(CatalogueFirstRequest::Matches("<FIRST>SMS"));
  EXPECT_FALSE(CatalogueFirstRequest::Matches(" <FIRST>SMS<QX>1<QX>5"));
  ExpectRoundTrips<CataloguePageRequest>({{{"SMS", "102", "1", "5"}, "SMS<QX>102<QX>1<QX>5"}});
  // Not a first-page request: the catalogue case, its second field the group.
  ExpectParses<CataloguePageRequest>({{{" <FIRST>SMS", "1", "5", ""}, " <FIRST>SMS<QX>1<QX>5"}});

  ExpectRoundTrips<SendResultsRequest>({
      {{1, "20240301", "20240331", "NULL", "NULL", "1", "3", "", ""},
       "1<QX>20240301<QX>20240331<QX>NULL<QX>NULL<QX>1<QX>3<QX><QX>"},
      {{1, "2024-03-01", "", "SMS", "", "1", "20", "", "021"},
       "1<QX>2024-03-01<QX><QX>SMS<QX><QX>1<QX>20<QX><QX>021"},
  });
  ExpectParses<SendResultsRequest>(
      {{{2, "20240301", "20240331", "", "", "", "", "", ""}, "2<QX>20240301<QX>20240331"}});

  ExpectRoundTrips<UsageRequest>({{{"2024", "3", "2024", "12"}, "2024<QX>3<QX>2024<QX>12"},
                                  {{"", "", "", ""}, "<QX><QX><QX>"}});
}

}  // namespace
}  // namespace parley::protocol
