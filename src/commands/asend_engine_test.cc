// ASEND through the engine binary with a prepared address book, against the web service and
// gateway simulators: group expansion, the individual numbers, the job header's count, the
// acknowledgement waits, the MMS package, and a job whose address book fails halfway.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "numbers/korean_number.h"

#include "commands/send_engine_fixture.h"
#include "db/address_book.h"
#include "db/test_util.h"
#include "testing/gate_sim_process.h"
#include "link/message.h"
#include "client/link_client.h"
#include "send/direct_send.h"
#include "send/skn_package.h"
#include "testing/engine_process.h"
#include "text/cp949.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

// Individual numbers 01100000000, 01100000001, ... (apart from the members' numbers).
std::string Number(int i) { return "011" + std::to_string(100000000 + i).substr(1); }

std::string Numbers(int n) {
  std::string list;
  for (int i = 0; i < n; ++i) list += (i > 0 ? "," : "") + Number(i);
  return list;
}

// Groups and their members as stored, members of different groups interleaved.
constexpr char kOddGroup[] = "O'Neil 100%";
const std::vector<std::string> kFriends = {"01000000001", "01000000002", "01000000003"};
const std::vector<std::string> kWork = {"01000000011", "01000000012"};
const std::vector<std::string> kOdd = {"01000000021"};
// A group with a member whose number cannot be one: too long for the message record.
const std::vector<std::string> kLong = {"01000000031", std::string(25, '1'), "01000000032"};

class ASendEngineTest : public ::testing::Test {
 protected:
  ASendEngineTest() : web_(dir_.path()) {}

  std::filesystem::path book() const { return dir_.path() / AddressBook::kFileName; }

  void PrepareBook() {
    AddressBook prepared(book());
    ASSERT_TRUE(prepared.OpenAddressBook());
    CExcelDatabase& db = prepared.database();
    struct Group {
      std::string name;
      int64_t orgseq;
    };
    for (const Group& g :
         {Group{"Friends", 7}, Group{"Work", 9}, Group{kOddGroup, 11}, Group{"Long", 13}}) {
      ASSERT_TRUE(db.InsertRow("GROUPADDR_TB", "GPNAME, LEV, ADDRNUM, ORGSEQ", "?, ?, ?, ?",
                               {g.name, int64_t{1}, int64_t{1}, g.orgseq}));
    }
    const std::pair<std::string, int64_t> rows[] = {
        {kFriends[0], 7}, {kWork[0], 9},  {kFriends[1], 7}, {kOdd[0], 11}, {kWork[1], 9},
        {kFriends[2], 7}, {kLong[0], 13}, {kLong[1], 13},   {kLong[2], 13}};
    for (const auto& [phone, group] : rows) {
      ASSERT_TRUE(db.InsertRow("ADDRESS_TB", "ADDRNAME, ADDRPHONE, GPSEQ", "?, ?, ?",
                               {std::string("n"), phone, group}));
    }
  }

  // Starts the gateway simulator with its options, then the engine, and logs in.
  void Start(std::vector<std::string> gate_args = {}) {
    PrepareBook();
    gate_ = std::make_unique<testing::GateSim>(dir_.path(), std::move(gate_args));
    ASSERT_NO_FATAL_FAILURE(engine_.Start(dir_.path(), dir_.path(), web_, *gate_));
  }

  std::string Exchange(std::string_view code, std::string_view body) {
    return engine_.Exchange(code, body);
  }

  // Sends an ASEND and checks that its reply is the user information string alone (what DSEND
  // answers for a mode it does not know); returns the job the gateway recorded, if any.
  std::vector<testing::GateJob> ASend(const std::string& body, size_t jobs_expected) {
    const std::string reply = Exchange("ASEND", body);
    EXPECT_EQ(reply, Exchange("DSEND", "7"));
    EXPECT_TRUE(reply.starts_with("<QX>")) << reply;
    return gate_->WaitForJobs(jobs_expected);
  }

  // Sent reports with a body (the DSEND of ASend posts empty ones).
  size_t SentReports() {
    size_t n = 0;
    for (const std::string& r : web_.Requests()) {
      n += r.starts_with("POST /QX/sended.asp ") && !r.ends_with("\r\n\r\n");
    }
    return n;
  }

  testing::TempDir dir_;
  testing::WebSim web_;
  std::unique_ptr<testing::GateSim> gate_;
  testing::SendEngine engine_;
};

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<std::string> FirstNumbers(int n) {
  std::vector<std::string> list;
  for (int i = 0; i < n; ++i) list.push_back(Number(i));
  return list;
}

TEST_F(ASendEngineTest, SmsJobsSendGroupsThenNumbers) {
  // A held acknowledgement shows whether the engine waited for it: sent_at is then due + 1.
  Start({"--ack-delay-ms", "150"});
  struct Case {
    int count;
    std::string groups;
    std::string numbers;
    std::string title;
    std::string callback;
    std::vector<std::string> recipients;  // as the gateway receives them, in order
    std::vector<int64_t> waits;           // acknowledgements awaited
  };
  const Case cases[] = {
      {6,
       "Friends,Work",
       Numbers(4),
       "T",
       "0212345678",
       Concat({kFriends, kWork, FirstNumbers(4)}),
       {}},
      {3, "", Numbers(3), "", "0212345678", FirstNumbers(3), {}},
      {120, "", Numbers(120), "T", "0212345678", FirstNumbers(120), {50, 100}},
      // Hyphens stay, in the callback and in the numbers.
      {1, "", "010-1234-5678", "T", "02-123-4567", {"010-1234-5678"}, {}},
      // A name the book does not know adds nothing; it still counts as one of the count.
      {4, "Nobody,Work", Numbers(2), "T", "0212345678", Concat({kWork, FirstNumbers(2)}), {}},
      {2, kOddGroup, Numbers(1), "T", "0212345678", Concat({kOdd, FirstNumbers(1)}), {}},
      // A member too long to be a number is skipped; the messages around it go out.
      {2,
       "Long",
       Numbers(1),
       "T",
       "0212345678",
       Concat({{kLong[0], kLong[2]}, FirstNumbers(1)}),
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.groups + " / " + std::to_string(c.count));
    const size_t jobs_before = gate_->Jobs().size();
    const std::vector<testing::GateJob> jobs =
        ASend("1<QX>" + std::to_string(c.count) + "<QX>" + c.title + "<QX>2026122418<QX>" +
                  c.groups + "<QX>" + c.numbers + "<QX>" + c.callback + "<QX>a&lt;b",
              jobs_before + 1);
    ASSERT_EQ(jobs.size(), jobs_before + 1);
    const testing::GateJob& job = jobs.back();
    EXPECT_EQ(job.header.login_id, "qxuser");
    EXPECT_EQ(job.header.title, c.title.empty() ? std::string(kSknDefaultSubject) : c.title);
    EXPECT_EQ(job.header.type_code, "SMS");
    EXPECT_EQ(job.header.count, c.count);
    EXPECT_EQ(job.header.interval, 50);
    EXPECT_EQ(job.header.reserve_date, "2026122418");
    std::vector<std::string> recipients;
    for (const testing::GateMessage& m : job.messages) {
      recipients.push_back(m.recipient);
      // The callback goes as its digits.
      EXPECT_EQ(m.callback, CheckKoreanNumber(c.callback, NumberUse::kCallback).digits);
      EXPECT_EQ(m.text, "a<b");
    }
    EXPECT_EQ(recipients, c.recipients);
    std::vector<int64_t> waited;
    for (const testing::GateAck& a : job.acks) {
      if (a.sent_at == a.due + 1) waited.push_back(a.due);
    }
    EXPECT_EQ(waited, c.waits);
  }
  // Group sends post no report and leave the recent-numbers list alone; other modes send nothing,
  // and neither does a job whose callback cannot fit the message record.
  const size_t jobs = gate_->Jobs().size();
  ASend("9<QX>1<QX>T<QX><QX><QX>" + Numbers(1) + "<QX>0212345678<QX>x", jobs);
  ASend("1<QX>1<QX>T<QX><QX><QX>" + Numbers(1) + "<QX>" + std::string(20, '2') + "<QX>x", jobs);
  EXPECT_EQ(SentReports(), 0u);
  EXPECT_EQ(Exchange("ADDRB", "4"), "4<QX>");
  gate_->Stop();
  EXPECT_EQ(gate_->Jobs().size(), jobs);
}

// A group send reaches exactly the groups named: "_" and "%" are plain characters, and a name in
// another letter case counts only when it leaves one group.
TEST_F(ASendEngineTest, GroupNamesMatchExactly) {
  Start();
  // Each group, stored before the one it would hide under LIKE, has one member.
  const struct {
    const char* name;
    int64_t orgseq;
    const char* member;
  } groups[] = {
      {"AxB", 21, "01000000101"},  {"A_B", 22, "01000000102"},   {"Team", 23, "01000000103"},
      {"team", 24, "01000000104"}, {"Staff", 25, "01000000105"},
  };
  for (const auto& g : groups) {
    testing::RawQuery(book(), "INSERT INTO GROUPADDR_TB (GPNAME, ORGSEQ) VALUES ('" +
                                  std::string(g.name) + "', " + std::to_string(g.orgseq) + ")");
    testing::RawQuery(book(), "INSERT INTO ADDRESS_TB (ADDRNAME, ADDRPHONE, GPSEQ) VALUES ('n', '" +
                                  std::string(g.member) + "', " + std::to_string(g.orgseq) + ")");
  }
  const struct {
    std::string names;
    std::vector<std::string> recipients;
  } cases[] = {
      {"A_B", {"01000000102"}},   {"team", {"01000000104"}},
      {"staff", {"01000000105"}}, {"%", {}},
      {"A%,_,TEAM,Fri%", {}},     {"A_B,%,TEAM,axb", {"01000000102", "01000000101"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names);
    const size_t jobs_before = gate_->Jobs().size();
    const int count = static_cast<int>(std::count(c.names.begin(), c.names.end(), ',')) + 1;
    const std::vector<testing::GateJob> jobs = ASend(
        "1<QX>" + std::to_string(count) + "<QX>T<QX><QX>" + c.names + "<QX><QX>0212345678<QX>x",
        jobs_before + 1);
    ASSERT_EQ(jobs.size(), jobs_before + 1);
    std::vector<std::string> recipients;
    for (const testing::GateMessage& m : jobs.back().messages) recipients.push_back(m.recipient);
    EXPECT_EQ(recipients, c.recipients);
  }
}

TEST_F(ASendEngineTest, MmsJobsSendTheirPackageToGroupsAndNumbers) {
  Start();
  const std::filesystem::path images = dir_.path() / "TempIMG";
  std::filesystem::create_directories(images);
  std::ofstream(images / "a.jpg", std::ios::binary) << std::string(2000, 'A');
  const std::vector<testing::GateJob> jobs = ASend(
      "3<QX>3<QX><QX><QX>Work<QX>" + Numbers(2) + "<QX>02-1234-5678<QX>long<QX><IMG>a.jpg", 1);
  ASSERT_EQ(jobs.size(), 1u);
  const testing::GateJob& job = jobs.back();
  EXPECT_EQ(job.header.type_code, "IMT");
  EXPECT_EQ(job.header.title, std::string(kMmsDefaultTitle));
  EXPECT_EQ(job.header.count, 3);
  std::vector<std::string> recipients;
  ASSERT_EQ(job.packages.size(), 1u);
  for (const testing::GateMessage& m : job.messages) {
    recipients.push_back(m.recipient);
    EXPECT_EQ(m.callback, "0212345678");
    EXPECT_EQ(m.checksum, job.packages[0].checksum);
  }
  EXPECT_EQ(recipients, Concat({kWork, FirstNumbers(2)}));
  const std::optional<SknPackage> package = ParseSknPackage(job.packages[0].bytes);
  ASSERT_TRUE(package.has_value());
  ASSERT_EQ(package->items.size(), 2u);
  EXPECT_EQ(package->items[0].data, "long");
  EXPECT_EQ(package->items[1].file_name, "a.jpg");
  EXPECT_EQ(testing::ReadFileBytes(images / "qx.SKN"), job.packages[0].bytes);
}

TEST_F(ASendEngineTest, ARefusedJobSendsNothingAndAnswersAsUsual) {
  Start({"--refuse"});
  const std::vector<testing::GateJob> jobs =
      ASend("1<QX>3<QX>T<QX><QX>Friends<QX>" + Numbers(2) + "<QX>0212345678<QX>x", 1);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].received, 0);
}

TEST_F(ASendEngineTest, AddressBookFailureEndsTheJobAndTheEngineGoesOn) {
  Start();
  // The member query fails from now on: its table is gone.
  testing::RawQuery(book(), "ALTER TABLE ADDRESS_TB RENAME TO ADDRESS_OLD");
  std::vector<testing::GateJob> jobs =
      ASend("1<QX>3<QX>T<QX><QX>Friends<QX>" + Numbers(2) + "<QX>0212345678<QX>x", 1);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].received, 0);
  EXPECT_EQ(jobs[0].end, "client closed");
  EXPECT_TRUE(engine_.process().WaitForLog("address book failed", 5000)) << engine_.process().Log();
  // Without groups the next job runs as usual.
  jobs = ASend("1<QX>2<QX>T<QX><QX><QX>" + Numbers(2) + "<QX>0212345678<QX>x", 2);
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[1].received, 2);
}

}  // namespace
}  // namespace parley
