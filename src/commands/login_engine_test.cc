// LOGIN and ADDRB through the engine binary, its web client pointed at the web service simulator
// and its address book (QXBOOK.mdb in its working folder) prepared by each test.
#include <signal.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "db/address_book.h"
#include "db/test_util.h"
#include "link/message.h"
#include "client/book_file.h"
#include "client/link_client.h"
#include "testing/engine_process.h"
#include "text/cp949.h"
#include "text/mbcs.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

// A web account whose id would end or change any SQL it were spliced into.
constexpr char kOddId[] = "o'k];DROP TABLE GROUPADDR_TB;--";
constexpr char kOddPass[] = "pw";
// A web account whose per-user table would be the book's USER_TB.
constexpr char kTableId[] = "TB";
constexpr char kTablePass[] = "tbpass";
// ADDRB 2 on the book PrepareBook writes (UTF-8).
constexpr char kGroupList[] = "2<QX><GROUP>친구::2::1::7<GROUP>회사::1::2::9<QX>";

class LoginEngineTest : public ::testing::Test {
 protected:
  LoginEngineTest()
      : sim_(dir_.path(), {"--user", std::string(kOddId) + ":" + kOddPass + ":100", "--user",
                           std::string(kTableId) + ":" + kTablePass + ":100"}) {}

  std::filesystem::path book() const { return dir_.path() / AddressBook::kFileName; }
  std::string EngineDir() const { return dir_.path().string() + "/"; }

  // Starts the engine (again) in the test's folder; each run logs to a file of its own so the
  // wait sees this run's "listening on".
  void Start() {
    const uint16_t port = testing::FreePort();
    engine_ = std::make_unique<testing::ChildProcess>(
        testing::EngineBinary(),
        std::vector<std::string>{"--link-port", std::to_string(port), "--ui-program", "none",
                                 "--home", dir_.path().string(), "--web-base", sim_.base_url(),
                                 "--web-port", std::to_string(sim_.port()), "--web-timeout", "2",
                                 "--log-level", "debug"},
        dir_.path() / ("engine" + std::to_string(++runs_) + ".log"));
    ASSERT_TRUE(engine_->WaitForLog("listening on", 10000)) << engine_->Log();
    client_ = std::make_unique<LinkClient>();
    std::string error;
    ASSERT_TRUE(client_->Connect("127.0.0.1", port, &error)) << error;
  }

  void Stop() {
    client_.reset();
    engine_->Signal(SIGTERM);
    int status = 0;
    EXPECT_TRUE(engine_->Wait(5000, &status));
    engine_.reset();
  }

  // Sends one message and returns the reply body, checking the reply's header.
  std::string Ask(std::string_view code, std::string_view body) {
    std::string error;
    RawMessage m;
    EXPECT_TRUE(client_->SendMessage(code, body, &error)) << error;
    EXPECT_TRUE(client_->ReadMessage(&m, 10000, &error)) << error << engine_->Log();
    EXPECT_EQ(m.header, MakeHeader(code, m.body.size()));
    return m.body;
  }

  std::string Refused(char c) const {
    std::string reply = "2<QX>";
    reply += c;
    return reply + "<QX><QX>" + EngineDir() + "<QX>";
  }

  // Writes groups and addresses the way a user's tool would, before the engine starts.
  void PrepareBook() {
    AddressBook prepared(book());
    ASSERT_TRUE(prepared.OpenAddressBook());
    CExcelDatabase& db = prepared.database();
    struct Group {
      const char* name;
      int64_t lev, addrnum, orgseq;
    };
    for (const Group& g : {Group{"친구", 1, 2, 7}, Group{"회사", 2, 1, 9}}) {
      ASSERT_TRUE(db.InsertRow("GROUPADDR_TB", "GPNAME, LEV, ADDRNUM, ORGSEQ", "?, ?, ?, ?",
                               {Utf8ToAnsi(g.name), g.lev, g.addrnum, g.orgseq}));
    }
    struct Address {
      const char* name;
      const char* phone;
      int64_t group;
    };
    for (const Address& a :
         {Address{"홍길동", "01012345678", 7}, Address{"김철수", "01098765432", 7},
          Address{"이영희", "0101112222", 9}}) {
      ASSERT_TRUE(db.InsertRow("ADDRESS_TB", "ADDRNAME, ADDRPHONE, GPSEQ", "?, ?, ?",
                               {Utf8ToAnsi(a.name), std::string(a.phone), a.group}));
    }
  }

  // The fields of a reply, split at "<QX>".
  static std::vector<std::string> Fields(std::string_view reply) {
    const std::string text = Replaced(reply, "<QX>", "`");
    std::vector<std::string> fields;
    for (std::string_view f : SplitFields(text, '`')) fields.emplace_back(f);
    return fields;
  }

  size_t CountRows(const std::string& sql) { return testing::RawQuery(book(), sql).size(); }

  testing::TempDir dir_;
  testing::WebSim sim_;
  int runs_ = 0;
  std::unique_ptr<testing::ChildProcess> engine_;
  std::unique_ptr<LinkClient> client_;
};

TEST_F(LoginEngineTest, LoginReplies) {
  Start();
  // Accepted: "2", "1", six account fields, the engine directory, and the closing "<QX>".
  const std::string accepted = Ask("LOGIN", "qxuser<QX>qxpass");
  const std::vector<std::string> fields = Fields(accepted);
  ASSERT_EQ(fields.size(), 10u) << accepted;
  EXPECT_EQ(fields[0], "2");
  EXPECT_EQ(fields[1], "1");
  EXPECT_FALSE(fields[2].empty());
  EXPECT_EQ(fields[8], EngineDir());
  EXPECT_EQ(fields[9], "");

  EXPECT_EQ(Ask("LOGIN", "qxuser<QX>wrong"), Refused('0'));
  EXPECT_EQ(Ask("LOGIN", "ab<QX>c"), Refused('0'));  // 7 bytes: a login, not the query
  // The service hangs up without a reply: the empty reply's character is a NUL byte.
  sim_.Control("/_sim/fail?mode=close&count=10");
  EXPECT_EQ(Ask("LOGIN", "qxuser<QX>qxpass"), Refused('\0'));
}

TEST_F(LoginEngineTest, SavedIdSurvivesARestartAndIsResetByALoginWithoutSave) {
  Start();
  for (const char* query : {"", "a<QX>b"}) EXPECT_EQ(Ask("LOGIN", query), "1<QX>") << query;
  EXPECT_EQ(Ask("LOGIN", "qxuser<QX>qxpass<QX>SAVE").substr(0, 6), "2<QX>1");
  EXPECT_EQ(Ask("LOGIN", ""), "1<QX>qxuser<QX>");
  // A refused login touches no saved id.
  EXPECT_EQ(Ask("LOGIN", "qxuser<QX>wrong"), Refused('0'));
  Stop();

  Start();
  EXPECT_EQ(Ask("LOGIN", "a<QX>b"), "1<QX>qxuser<QX>");
  EXPECT_EQ(Ask("LOGIN", "qxuser<QX>qxpass").substr(0, 6), "2<QX>1");
  EXPECT_EQ(Ask("LOGIN", ""), "1<QX>");
  EXPECT_EQ(testing::RawQuery(book(), "SELECT ID, LOGID FROM USER_TB"),
            (std::vector<std::vector<std::string>>{{"<NULL>", "NULL"}}));
  // Two accepted logins with one id made one table of five rows.
  EXPECT_EQ(CountRows("SELECT name FROM sqlite_master WHERE name LIKE 'USER\\_%' ESCAPE '\\' "
                      "AND name <> 'USER_TB'"),
            1u);
  EXPECT_EQ(CountRows("SELECT * FROM USER_qxuser"), 5u);
}

TEST_F(LoginEngineTest, AddrbOnAPreparedBook) {
  PrepareBook();
  Start();
  struct Case {
    const char* body;
    const char* reply;  // UTF-8; the engine answers in CP949
  };
  const Case cases[] = {
      {"2", kGroupList},
      {"3<QX>7", "3<QX><ADDR>홍길동 01012345678<ADDR>김철수 01098765432"},
      {"3<QX>9", "3<QX><ADDR>이영희 0101112222"},
      {"3<QX>8", "3<QX>"},
      {"3", "3<QX>"},
      {"3<QX>7 OR 1=1", "3<QX>"},
      {"3<QX>7;DELETE FROM ADDRESS_TB", "3<QX>"},
      {"4", "4<QX>"},
      {"5", ""},
      {"x", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Ask("ADDRB", c.body), Utf8ToAnsi(c.reply)) << c.body;
  EXPECT_EQ(CountRows("SELECT * FROM ADDRESS_TB"), 3u);
}

TEST_F(LoginEngineTest, RecentNumbersLoadAtEachLogin) {
  {
    AddressBook prepared(book());
    prepared.EnsureUserTable("qxuser");
    // Row 1 as older files stored it, without its leading "0"; row 3 empty ends the list.
    const std::pair<int64_t, const char*> rows[] = {
        {1, "1011112222"}, {2, "01033334444"}, {4, "01055556666"}};
    for (const auto& [id, number] : rows) {
      ASSERT_TRUE(prepared.database().ExecuteWithParam(
          "UPDATE USER_qxuser SET RECVPHONE = ? WHERE ID = ?", {std::string(number), id}));
    }
  }
  for (int run = 0; run < 2; ++run) {
    Start();
    EXPECT_EQ(Ask("ADDRB", "4"), "4<QX>");
    EXPECT_EQ(Ask("LOGIN", "qxuser<QX>wrong"), Refused('0'));
    EXPECT_EQ(Ask("ADDRB", "4"), "4<QX>") << "a refused login loads nothing";
    EXPECT_EQ(Ask("LOGIN", "qxuser<QX>qxpass").substr(0, 6), "2<QX>1");
    EXPECT_EQ(Ask("ADDRB", "4"), "4<QX>01033334444,01011112222,");
    Stop();
  }
}

// The id "TB" keeps its recent numbers apart from USER_TB: they are stored after a send command
// and come back at its next login, and the saved login id stays as it was.
TEST_F(LoginEngineTest, RecentNumbersOfAnIdThatWouldNameABookTable) {
  {
    AddressBook prepared(book());
    prepared.EnsureUserTable("qxuser");
    prepared.SaveRecentNumbers(2, "qxuser", "01011112222,01033334444,");
  }
  const std::string tb = std::string(kTableId) + "<QX>" + kTablePass;
  Start();
  EXPECT_EQ(Ask("LOGIN", "qxuser<QX>qxpass").substr(0, 6), "2<QX>1");
  EXPECT_EQ(Ask("LOGIN", tb + "<QX>SAVE").substr(0, 6), "2<QX>1");
  EXPECT_EQ(Ask("ADDRB", "4"), "4<QX>01011112222,01033334444,");
  Ask("DSEND", "7");  // every send command stores the list for the user logged in
  Stop();
  Start();
  EXPECT_EQ(Ask("LOGIN", ""), "1<QX>TB<QX>");
  EXPECT_EQ(Ask("LOGIN", tb).substr(0, 6), "2<QX>1");
  EXPECT_EQ(Ask("ADDRB", "4"), "4<QX>01011112222,01033334444,");
  EXPECT_EQ(CountRows("SELECT * FROM USER_TB"), 1u);
}

TEST_F(LoginEngineTest, LoginIdWithSqlInItIsStoredAsText) {
  PrepareBook();
  const std::string book_before = testing::ReadFileBytes(book());
  Start();
  EXPECT_EQ(Ask("LOGIN", "x';DELETE FROM USER_TB;--<QX>nope<QX>SAVE"), Refused('0'));
  EXPECT_EQ(Ask("LOGIN", std::string(kOddId) + "<QX>" + kOddPass + "<QX>SAVE").substr(0, 6),
            "2<QX>1");
  EXPECT_EQ(Ask("LOGIN", ""), "1<QX>" + std::string(kOddId) + "<QX>");
  EXPECT_EQ(Ask("ADDRB", "2"), Utf8ToAnsi(kGroupList));
  EXPECT_EQ(CountRows("SELECT * FROM GROUPADDR_TB"), 2u);
  EXPECT_EQ(CountRows("SELECT * FROM ADDRESS_TB"), 3u);
  EXPECT_EQ(CountRows("SELECT * FROM \"USER_o'k];DROP TABLE GROUPADDR_TB;--\""), 5u);
  EXPECT_NE(testing::ReadFileBytes(book()), book_before);  // the id and its table were written
}

TEST_F(LoginEngineTest, ABookThatIsNotSqliteIsLeftAloneAndLoginStillWorks) {
  std::string access("\0\x01\0\0Standard Jet DB\0", 20);
  access.append(2000, '\x5a');
  testing::WriteFileBytes(book(), access);
  Start();
  EXPECT_EQ(Ask("LOGIN", ""), "1<QX>");
  const std::string accepted = Ask("LOGIN", "qxuser<QX>qxpass<QX>SAVE");
  const std::vector<std::string> fields = Fields(accepted);
  ASSERT_EQ(fields.size(), 10u) << accepted;
  EXPECT_EQ(fields[1], "1");
  EXPECT_EQ(fields[8], EngineDir());
  EXPECT_EQ(Ask("ADDRB", "4"), "4<QX>");
  Stop();
  EXPECT_EQ(testing::ReadFileBytes(book()), access);
}

// Groups written with the qx book tool, seen by the engine.
TEST_F(LoginEngineTest, BookToolGroupsReachTheEngine) {
  {
    BookFile tool;
    std::string error;
    ASSERT_TRUE(tool.Open(book(), &error)) << error;
    ASSERT_TRUE(tool.AddGroup("가족", &error)) << error;
    std::istringstream csv(
        "\xEF\xBB\xBFname,phone\n엄마,010-1111-2222\r\n\n\"아빠, 집\",01033334444\n");
    int added = 0;
    ASSERT_TRUE(tool.Import("가족", csv, &added, &error)) << error;
    EXPECT_EQ(added, 2);
  }
  Start();
  EXPECT_EQ(Ask("ADDRB", "2"), Utf8ToAnsi("2<QX><GROUP>가족::2::1::1<QX>"));
  EXPECT_EQ(Ask("ADDRB", "3<QX>1"),
            Utf8ToAnsi("3<QX><ADDR>엄마 01011112222<ADDR>아빠, 집 01033334444"));
}

}  // namespace
}  // namespace parley
