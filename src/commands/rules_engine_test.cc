// The sending rules through the engine binary, against the web service and gateway simulators:
// the advertising marker and opt-out footer, the night hours (the engine in other time zones),
// the opt-out list on every send path, the registered callbacks, and the rules' own commands.
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commands/send_engine_fixture.h"
#include "db/address_book.h"
#include "protocol/excel_check.h"
#include "protocol/rules_messages.h"
#include "protocol/status_messages.h"
#include "testing/engine_process.h"
#include "testing/gate_sim_process.h"
#include "testing/web_sim_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

std::string A(const std::string& utf8) { return Utf8ToAnsi(utf8); }

std::string Number(int i) { return "010" + std::to_string(100000000 + i).substr(1); }

std::string Numbers(int from, int n) {
  std::string list;
  for (int i = from; i < from + n; ++i) list += (list.empty() ? "" : ",") + Number(i);
  return list;
}

std::vector<std::string> Recipients(const testing::GateJob& job) {
  std::vector<std::string> numbers;
  for (const testing::GateMessage& m : job.messages) numbers.push_back(m.recipient);
  return numbers;
}

// An advertising text that keeps every rule (business name 파란상사).
constexpr char kAdText[] = "(광고)파란상사 봄세일 무료수신거부 080-123-4567";
constexpr int kNoon = 12 * 60;

// The test clock offset that puts the engine 20 seconds into `minute` (Korean time) of today.
std::string OffsetFor(int minute) {
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  const int64_t korean = (now + 9 * 3600) % 86400;
  return std::to_string(int64_t{minute} * 60 + 20 - korean);
}

class RulesEngineTest : public ::testing::Test {
 protected:
  RulesEngineTest() : web_(dir_.path()) {}

  // Starts (again) the gateway simulator and the engine at Korean `minute`. The address book and
  // the journal stay in the test's folder from one start to the next.
  void Start(int minute = kNoon, const std::vector<std::string>& env = {},
             std::vector<std::string> gate_args = {}) {
    engine_.Stop();
    // A fresh log: the start waits for the new engine's "listening on".
    std::filesystem::remove(dir_.path() / "engine.log");
    const std::filesystem::path gate_dir = dir_.path() / ("gate" + std::to_string(++starts_));
    std::filesystem::create_directories(gate_dir);
    gate_ = std::make_unique<testing::GateSim>(gate_dir, std::move(gate_args));
    ASSERT_NO_FATAL_FAILURE(engine_.Start(dir_.path(), dir_.path(), web_, *gate_,
                                          {"--test-clock-offset", OffsetFor(minute)}, env));
  }

  std::string Ex(std::string_view code, std::string_view body) {
    return engine_.Exchange(code, body);
  }

  // Grants the next send and runs DSEND (UTF-8 text); the reply's text before the account figures.
  std::string DSend(const std::string& title, const std::string& reserve,
                    const std::string& numbers, int count, const std::string& callback,
                    const std::string& text) {
    EXPECT_TRUE(Ex("DSEND", "4<QX>1<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
    const std::string reply =
        Ex("DSEND", "1<QX>" + std::to_string(count) + "<QX>" + title + "<QX>" + reserve + "<QX>" +
                        numbers + "<QX>" + callback + "<QX>" + text);
    return reply.substr(0, reply.find("<QX>"));
  }

  std::string AdSend(const std::string& text, const std::string& tags = "<AD>",
                     const std::string& reserve = "") {
    return DSend(tags + "T", reserve, Number(0), 1, "0212345678", text);
  }

  void SetUpRules() {
    EXPECT_EQ(Ex("SETPT", "business_name<QX>파란상사"), A("파란상사<QX><QX>ad<QX>"));
  }

  size_t Jobs() const { return gate_->Jobs().size(); }

  // The lines of a job's export.
  std::vector<std::string> Export(int64_t job) {
    const std::filesystem::path csv = dir_.path() / ("job" + std::to_string(job) + ".csv");
    Ex("JOBEX", protocol::JobExportRequest{job, csv.string(), "csv", true}.Build());
    std::vector<std::string> lines;
    std::ifstream in(csv);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  int64_t LastJournalJob() {
    const auto list = protocol::JobListReply::Parse(Ex("JOBLS", "1"));
    return list && !list->jobs.empty() ? list->jobs[0].id : 0;
  }

  testing::TempDir dir_;
  testing::WebSim web_;
  std::unique_ptr<testing::GateSim> gate_;
  testing::SendEngine engine_;
  int starts_ = 0;
};

TEST_F(RulesEngineTest, AdvertisingTextsNeedTheMarkerTheBusinessNameAndAFreeOptOutNumber) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::string failed = A("메시지 전송에 실패하였습니다\n");
  EXPECT_EQ(AdSend(kAdText),
            failed + A("광고 메시지를 보내려면 먼저 사업자명(업체명)을 설정해야 합니다"));
  SetUpRules();
  const std::string marker =
      A("광고 메시지는 맨 앞에 \"(광고)\"를 띄어쓰기나 다른 괄호 없이 정확히 적어야 합니다");
  const std::string name = A("\"(광고)\" 바로 뒤에 사업자명 \"파란상사\"을 적어야 합니다");
  const std::string footer =
      A("광고 메시지에는 무료 수신거부 방법을 적어야 합니다 (예: 무료수신거부 080-123-4567)");
  const std::string not_free = A("무료수신거부 번호는 080으로 시작하는 무료 번호여야 합니다");
  struct Case {
    std::string text;
    std::string refusal;  // empty: sent
  };
  const Case cases[] = {
      {kAdText, ""},
      {"(광고) 파란상사 봄세일 무료거부 0801234567", ""},
      {"(광고)파란상사 봄세일\n무료수신거부: 080-1234-5678", ""},
      {"[광고]파란상사 봄세일 무료수신거부 080-123-4567", marker},
      {"(광 고)파란상사 봄세일 무료수신거부 080-123-4567", marker},
      {"(광.고)파란상사 봄세일 무료수신거부 080-123-4567", marker},
      {"( 광고 )파란상사 봄세일 무료수신거부 080-123-4567", marker},
      {" (광고)파란상사 봄세일 무료수신거부 080-123-4567", marker},
      {"봄세일 (광고)파란상사 무료수신거부 080-123-4567", marker},
      {"(광고)  파란상사 봄세일 무료수신거부 080-123-4567", name},
      {"(광고)노란상사 봄세일 무료수신거부 080-123-4567", name},
      {"(광고)파란상사 봄세일", footer},
      {"(광고)파란상사 봄세일 무료수신 거부 080-123-4567", footer},
      {"(광고)파란상사 봄세일 수신거부 080-123-4567", footer},
      {"(광고)파란상사 봄세일 무료수신거부", footer},
      {"(광고)파란상사 봄세일 무료수신거부 02-123-4567", not_free},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const size_t before = Jobs();
    const std::string answer = AdSend(c.text);
    if (c.refusal.empty()) {
      EXPECT_EQ(answer, A("총 1건이\n성공적으로 전송되었습니다"));
      ASSERT_EQ(gate_->WaitForJobs(before + 1).size(), before + 1);
      // The tags never reach the gateway.
      EXPECT_EQ(gate_->Jobs().back().header.title, "T");
    } else {
      EXPECT_EQ(answer, failed + c.refusal);
      EXPECT_EQ(Jobs(), before);
    }
  }
  // A set opt-out number is the one the footer must name.
  EXPECT_EQ(Ex("SETPT", "optout_number<QX>080-123-4567"), A("파란상사<QX>0801234567<QX>ad<QX>"));
  EXPECT_EQ(AdSend(kAdText), A("총 1건이\n성공적으로 전송되었습니다"));
  EXPECT_EQ(AdSend("(광고)파란상사 봄세일 무료수신거부 080-999-9999"),
            failed + A("무료수신거부 번호가 설정된 번호 0801234567와 다릅니다"));
  // A long text carries the marker in its text: a title does not count.
  EXPECT_TRUE(Ex("DSEND", "4<QX>1<QX>2<QX>").starts_with("QXSENDABLECHECK<QX>1"));
  const std::string long_text =
      Ex("DSEND", "2<QX>1<QX><AD>(광고)파란상사<QX><QX>" + Number(0) +
                      "<QX>0212345678<QX>봄세일 안내 무료수신거부 080-123-4567");
  EXPECT_TRUE(long_text.starts_with(failed + marker)) << AnsiToUtf8(long_text);
  // An ordinary send keeps no advertising rule.
  EXPECT_EQ(AdSend("봄세일", ""), A("총 1건이\n성공적으로 전송되었습니다"));
}

TEST_F(RulesEngineTest, NightHoursFollowKoreanTimeWhateverTheEnginesZone) {
  const std::string sent = A("총 1건이\n성공적으로 전송되었습니다");
  const std::string night =
      A("입니다. 광고 메시지는 밤 9시부터 다음 날 아침 8시까지 보낼 수 없습니다 (수신자마다 따로 "
        "야간 수신 동의를 받은 경우만 가능)");
  struct Now {
    int minute;
    bool allowed;
    std::string shown;
  };
  const Now nows[] = {{20 * 60 + 59, true, ""},
                      {21 * 60, false, "21:00"},
                      {23 * 60 + 30, false, "23:30"},
                      {7 * 60 + 59, false, "07:59"},
                      {8 * 60, true, ""}};
  struct Reserved {
    std::string reserve;
    std::string tags;
    bool allowed;
  };
  const Reserved reservations[] = {
      {"209901012059", "<AD>", true},
      {"209901012100", "<AD>", false},
      {"209901010759", "<AD>", false},
      {"209901010800", "<AD>", true},
      {"209901012330", "<AD><NIGHT>", true},
      {"209901012330", "<NIGHT><AD>", true},
      {"209901012330", "", true},
      {"2099010123", "<AD>", false},
  };
  for (const char* zone : {"TZ=UTC", "TZ=America/New_York"}) {
    SCOPED_TRACE(zone);
    for (const Now& now : nows) {
      SCOPED_TRACE(now.minute);
      ASSERT_NO_FATAL_FAILURE(Start(now.minute, {zone}));
      if (starts_ == 1) SetUpRules();
      EXPECT_EQ(
          AdSend(kAdText),
          now.allowed ? sent : A("메시지 전송에 실패하였습니다\n지금이 ") + now.shown + night);
      // Consent apart to night advertising, and an ordinary send, go at any time.
      EXPECT_EQ(AdSend(kAdText, "<AD><NIGHT>"), sent);
      EXPECT_EQ(AdSend("봄세일", ""), sent);
    }
    ASSERT_NO_FATAL_FAILURE(Start(kNoon, {zone}));
    for (const Reserved& r : reservations) {
      SCOPED_TRACE(r.reserve + r.tags);
      const std::string answer = AdSend(r.tags.empty() ? "봄세일" : kAdText, r.tags, r.reserve);
      EXPECT_EQ(answer == sent, r.allowed) << AnsiToUtf8(answer);
    }
  }
}

TEST_F(RulesEngineTest, OptedOutNumbersAreLeftOutOfDirectSendsAndJournaled) {
  ASSERT_NO_FATAL_FAILURE(Start());
  SetUpRules();
  EXPECT_EQ(Ex("OPTAD", Number(1) + "," + "010-0000-0003<QX>asked by phone"), "2<QX>0<QX>");
  const std::string numbers = Numbers(0, 5);
  // Advertising: the two are not sent, not counted, named in the answer and the journal.
  EXPECT_EQ(DSend("<AD>T", "", numbers, 5, "0212345678", kAdText),
            A("총 3건이\n성공적으로 전송되었습니다\n수신거부 2명 제외"));
  testing::GateJob job = gate_->WaitForJobs(1).back();
  EXPECT_EQ(job.header.count, 3);
  EXPECT_EQ(Recipients(job), (std::vector<std::string>{Number(0), Number(2), Number(4)}));
  const std::vector<std::string> lines = Export(LastJournalJob());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[4], "\"row 2\",\"" + Number(1) + "\",\"left out\",\"opted-out\"\r");
  EXPECT_EQ(lines[5], "\"row 4\",\"" + Number(3) + "\",\"left out\",\"opted-out\"\r");
  const auto rows = protocol::JobListReply::Parse(Ex("JOBLS", "1"));
  ASSERT_TRUE(rows && rows->jobs.size() == 1);
  EXPECT_EQ(rows->jobs[0].left_out, 2);
  EXPECT_EQ(rows->jobs[0].total, 3);

  // An ordinary send reaches them, byte for byte as without a list.
  EXPECT_EQ(DSend("T", "", numbers, 5, "0212345678", "hi"),
            A("총 5건이\n성공적으로 전송되었습니다"));
  EXPECT_EQ(Recipients(gate_->WaitForJobs(2).back()).size(), 5u);
  // ... unless the list covers every send.
  EXPECT_EQ(Ex("SETPT", "optout_applies<QX>all"), A("파란상사<QX><QX>all<QX>"));
  EXPECT_EQ(DSend("T", "", numbers, 5, "0212345678", "hi"),
            A("총 3건이\n성공적으로 전송되었습니다\n수신거부 2명 제외"));
  EXPECT_EQ(Recipients(gate_->WaitForJobs(3).back()).size(), 3u);
  // Nobody left: nothing sent.
  EXPECT_EQ(
      DSend("T", "", Number(1), 1, "0212345678", "hi"),
      A("메시지 전송에 실패하였습니다\n수신자가 모두 수신거부 목록에 있어 보내지 않았습니다"));
  EXPECT_EQ(Jobs(), 3u);
}

TEST_F(RulesEngineTest, OptedOutNumbersAreLeftOutOfGroupSends) {
  {
    AddressBook book(dir_.path() / AddressBook::kFileName);
    ASSERT_TRUE(book.OpenAddressBook());
    CExcelDatabase& db = book.database();
    ASSERT_TRUE(db.InsertRow("GROUPADDR_TB", "GPNAME, LEV, ADDRNUM, ORGSEQ", "'Friends', 1, 3, 7"));
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(
          db.InsertRow("ADDRESS_TB", "ADDRNAME, ADDRPHONE, GPSEQ", "'n', ?, 7", {Number(i)}));
    }
  }
  ASSERT_NO_FATAL_FAILURE(Start());
  SetUpRules();
  EXPECT_EQ(Ex("OPTAD", Number(1) + "," + Number(11)), "2<QX>0<QX>");
  // Before the send: which recipients the list leaves out.
  EXPECT_EQ(Ex("OPTCK", "1<QX>Friends<QX>" + Number(10) + "," + Number(11)),
            "5<QX>2<QX>" + Number(1) + ",Friends<Q>" + Number(11) + ",");
  EXPECT_EQ(Ex("OPTCK", "0<QX>Friends<QX>" + Number(11)), "4<QX>0<QX>");

  const std::string reply = Ex("ASEND", "1<QX>3<QX><AD>T<QX><QX>Friends<QX>" + Number(10) + "," +
                                            Number(11) + "<QX>0212345678<QX>" + kAdText);
  EXPECT_TRUE(reply.starts_with(A("수신거부 2명 제외<QX>"))) << AnsiToUtf8(reply);
  const testing::GateJob job = gate_->WaitForJobs(1).back();
  EXPECT_EQ(Recipients(job), (std::vector<std::string>{Number(0), Number(2), Number(10)}));
  EXPECT_EQ(job.header.count, 2);  // a group send counts its groups and numbers
  const std::vector<std::string> lines = Export(LastJournalJob());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[4], "\"row 1\",\"" + Number(1) + "\",\"left out\",\"opted-out\"\r");
  EXPECT_EQ(lines[5], "\"row 2\",\"" + Number(11) + "\",\"left out\",\"opted-out\"\r");

  // A refused advertising group send says why before the account figures; nothing is sent.
  const std::string refused = Ex("ASEND", "1<QX>1<QX><AD>T<QX><QX>Friends<QX><QX>0212345678<QX>hi");
  EXPECT_TRUE(refused.starts_with(A("메시지 전송에 실패하였습니다\n광고 메시지는 맨 앞에")))
      << AnsiToUtf8(refused);
  EXPECT_EQ(Jobs(), 1u);
}

TEST_F(RulesEngineTest, OptedOutRowsAreLeftOutOfWorkbookSendsAndCounted) {
  ASSERT_NO_FATAL_FAILURE(Start());
  SetUpRules();
  const std::filesystem::path file = dir_.path() / "list.csv";
  std::ofstream(file, std::ios::binary)
      << "name,phone\nKim," << Number(0) << "\nLee," << Number(1) << "\nPark," << Number(2) << "\n";
  ASSERT_TRUE(Ex("EXCEL", "1<QX>" + file.string()).starts_with("1<QX>list"));
  const std::string body = "1<QX>10<QX><AD>T<QX><QX>list$<QX>phone<QX>0212345678<QX>name<Q>" +
                           std::string("(광고)파란상사 [name:6]님 무료거부 0801234567") + "<QX>11";
  // With an empty list the check's reply keeps its 17 fields.
  auto check = protocol::ExcelCheckReply::Parse(Ex("EXCHK", body));
  ASSERT_TRUE(check.has_value());
  EXPECT_FALSE(check->with_opt_out);

  EXPECT_EQ(Ex("OPTAD", Number(1)), "1<QX>0<QX>");
  check = protocol::ExcelCheckReply::Parse(Ex("EXCHK", body));
  ASSERT_TRUE(check.has_value());
  EXPECT_TRUE(check->with_opt_out);
  EXPECT_EQ(check->messages, 2);
  EXPECT_EQ(check->opted_out, 1);
  EXPECT_EQ(check->opted_out_rows, (std::vector<protocol::CheckOptedOut>{{3, Number(1)}}));

  EXPECT_TRUE(Ex("ESEND", "4<QX>2<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
  const std::string reply = Ex("ESEND", body);
  EXPECT_EQ(reply.substr(0, reply.find("<QX>")),
            A("총 2건이\n성공적으로 전송되었습니다\n수신거부 1명 제외"));
  const testing::GateJob job = gate_->WaitForJobs(1).back();
  EXPECT_EQ(Recipients(job), (std::vector<std::string>{Number(0), Number(2)}));
  EXPECT_EQ(job.header.count, 2);
  const std::vector<std::string> lines = Export(LastJournalJob());
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "\"row 3\",\"" + Number(1) + "\",\"left out\",\"opted-out\"\r");

  // Each composed text keeps the marker: a row whose name breaks it refuses the send.
  const std::string broken = "1<QX>10<QX><AD>T<QX><QX>list$<QX>phone<QX>0212345678<QX>name<Q>" +
                             std::string("([name:6]) 무료거부 0801234567") + "<QX>11";
  EXPECT_TRUE(Ex("ESEND", "4<QX>2<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
  const std::string refused = Ex("ESEND", broken);
  EXPECT_TRUE(refused.starts_with(A("Exception:[2행: 광고 메시지는 맨 앞에")))
      << AnsiToUtf8(refused);
  EXPECT_EQ(Jobs(), 1u);
}

TEST_F(RulesEngineTest, TheRestOfAnAdvertisingJobIsSentUnderTheSameRules) {
  ASSERT_NO_FATAL_FAILURE(Start(kNoon, {}, {"--close-after", "60"}));
  SetUpRules();
  // The gateway hangs up after 60 messages: 51 acknowledged, the rest not sent or in doubt.
  DSend("<AD>T", "", Numbers(0, 120), 120, "0212345678", kAdText);
  const int64_t first = LastJournalJob();
  const std::string rest = std::to_string(first) + "<QX>1";

  // At night the journal's advertising mark refuses the rest, as it would the job.
  ASSERT_NO_FATAL_FAILURE(Start(22 * 60, {}, {"--close-after", "60"}));
  const std::string night = Ex("JOBRS", rest);
  EXPECT_TRUE(night.starts_with(A("Exception:[지금이 22:00입니다."))) << AnsiToUtf8(night);
  EXPECT_EQ(Jobs(), 0u);

  // By day, once the job's callback is registered (if any is), the rest goes, without the
  // numbers that opted out since.
  ASSERT_NO_FATAL_FAILURE(Start(kNoon, {}, {"--close-after", "60"}));
  EXPECT_EQ(Ex("CBKAD", "0211112222"), "1<QX>0<QX>");
  EXPECT_EQ(Ex("JOBRS", rest), A("Exception:[회신번호 0212345678은(는) 등록된 발신번호가 아닙니다. "
                                 "먼저 발신번호로 등록해야 합니다]"));
  EXPECT_EQ(Ex("CBKAD", "0212345678"), "1<QX>0<QX>");
  EXPECT_EQ(Ex("OPTAD", Numbers(60, 10)), "10<QX>0<QX>");
  const auto resent = protocol::JobResendReply::Parse(Ex("JOBRS", rest));
  ASSERT_TRUE(resent.has_value());
  EXPECT_EQ(resent->text, A("총 59건이\n성공적으로 전송되었습니다\n수신거부 10명 제외"));
  const testing::GateJob job = gate_->WaitForJobs(1).back();
  std::vector<std::string> expected;
  for (int i = 51; i < 120; ++i) {
    if (i < 60 || i >= 70) expected.push_back(Number(i));
  }
  EXPECT_EQ(Recipients(job), expected);
  EXPECT_EQ(job.header.count, 59);
  const std::vector<std::string> lines = Export(resent->job);
  ASSERT_EQ(lines.size(), 70u);
  EXPECT_EQ(lines.back(), "\"row 10\",\"" + Number(69) + "\",\"left out\",\"opted-out\"\r");
}

TEST_F(RulesEngineTest, OnlyRegisteredCallbacksAreTakenOnceAnyIsRegistered) {
  ASSERT_NO_FATAL_FAILURE(Start());
  // None registered: any callback that is a number.
  EXPECT_EQ(DSend("T", "", Number(0), 1, "0299998888", "hi"),
            A("총 1건이\n성공적으로 전송되었습니다"));
  EXPECT_EQ(Ex("CBKAD", "02-123-4567,15881234,abc<QX>head office"), "2<QX>0<QX>abc,not-digits");
  const std::string failed = A("메시지 전송에 실패하였습니다\n");
  struct Case {
    std::string callback;
    std::string answer;
  };
  const Case cases[] = {
      {"021234567", A("총 1건이\n성공적으로 전송되었습니다")},
      {"02-123-4567", A("총 1건이\n성공적으로 전송되었습니다")},
      {"1588-1234", A("총 1건이\n성공적으로 전송되었습니다")},
      {"0299998888", failed + A("회신번호 0299998888은(는) 등록된 발신번호가 아닙니다. 먼저 "
                                "발신번호로 등록해야 합니다")},
      {"02-12", failed + A("회신번호가 올바른 전화번호가 아닙니다")},
      {"", failed + A("회신번호가 없습니다")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.callback);
    EXPECT_EQ(DSend("T", "", Number(0), 1, c.callback, "hi"), c.answer);
  }
  EXPECT_EQ(Jobs(), 4u);
  // A group send and a workbook send the same.
  const std::string group =
      Ex("ASEND", "1<QX>1<QX>T<QX><QX><QX>" + Number(0) + "<QX>0299998888<QX>hi");
  EXPECT_TRUE(group.starts_with(failed + A("회신번호 0299998888"))) << AnsiToUtf8(group);
  const std::filesystem::path file = dir_.path() / "calls.csv";
  std::ofstream(file, std::ios::binary) << "phone,back\n"
                                        << Number(0) << ",021234567\n"
                                        << Number(1) << ",0299998888\n";
  ASSERT_TRUE(Ex("EXCEL", "1<QX>" + file.string()).starts_with("1<QX>calls"));
  EXPECT_TRUE(Ex("ESEND", "4<QX>2<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
  const std::string rows = Ex("ESEND", "1<QX>2<QX>T<QX><QX>calls$<QX>phone<QX>back<QX>hi<QX>1");
  EXPECT_TRUE(rows.starts_with(A("Exception:[3행: 회신번호 0299998888"))) << AnsiToUtf8(rows);
  EXPECT_TRUE(Ex("ESEND", "4<QX>2<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
  const std::string one =
      Ex("ESEND", "1<QX>2<QX>T<QX><QX>calls$<QX>phone<QX>0299998888<QX>hi<QX>11");
  EXPECT_TRUE(one.starts_with(A("Exception:[회신번호 0299998888"))) << AnsiToUtf8(one);
  EXPECT_EQ(Jobs(), 4u);
  // Removing the last registered number lifts the rule.
  EXPECT_EQ(Ex("CBKRM", "021234567,15881234,0299998888"), "2<QX>1");
  EXPECT_EQ(Ex("CBKLS", ""), "0<QX>");
  EXPECT_EQ(DSend("T", "", Number(0), 1, "0299998888", "hi"),
            A("총 1건이\n성공적으로 전송되었습니다"));
}

TEST_F(RulesEngineTest, ListsAndSettingsThroughTheirCommands) {
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Ex("OPTLS", ""), "0<QX>");
  EXPECT_EQ(Ex("SETGT", ""), "<QX><QX>ad<QX>");
  const auto added = protocol::NumbersAddReply::Parse(
      Ex("OPTAD", "010-1111-2222, 01033334444;abc\n0212345678\r\n01033334444<QX>고객 요청, 전화"));
  ASSERT_TRUE(added.has_value());
  EXPECT_EQ(added->added, 2);
  EXPECT_EQ(added->already, 1);
  EXPECT_EQ(added->refused, (std::vector<protocol::RefusedItem>{{"abc", "not-digits"},
                                                                {"0212345678", "not-mobile"}}));
  const auto listed = protocol::NumberListReply::Parse(Ex("OPTLS", ""), true);
  ASSERT_TRUE(listed.has_value());
  ASSERT_EQ(listed->entries.size(), 2u);
  EXPECT_EQ(listed->entries[0].number, "01011112222");
  EXPECT_EQ(listed->entries[1].note, A("고객 요청, 전화"));
  EXPECT_NEAR(static_cast<double>(listed->entries[0].added),
              static_cast<double>(std::time(nullptr)), 60);
  EXPECT_EQ(Ex("OPTRM", "01011112222,01099999999,x"), "1<QX>2");
  EXPECT_EQ(Ex("OPTLS", "").substr(0, 16), "1<QX>01033334444");

  struct Case {
    std::string body;
    std::string reply;
  };
  const Case settings[] = {
      {"business_name<QX>파란상사", A("파란상사<QX><QX>ad<QX>")},
      {"optout_number<QX>080-123-4567", A("파란상사<QX>0801234567<QX>ad<QX>")},
      {"optout_number<QX>02-123-4567", "Exception:[optout_number must be an 080 number]"},
      {"optout_applies<QX>all", A("파란상사<QX>0801234567<QX>all<QX>")},
      {"optout_applies<QX>some", "Exception:[optout_applies is ad or all]"},
      {"own_number<QX>010-5555-6666", A("파란상사<QX>0801234567<QX>all<QX>01055556666")},
      {"own_number<QX>0212345678", "Exception:[own_number must be a mobile number]"},
      {"optout_applies<QX>", A("파란상사<QX>0801234567<QX>ad<QX>01055556666")},
      {"colour<QX>blue",
       "Exception:[unknown setting colour (business_name, optout_number, optout_applies, "
       "own_number)]"},
  };
  for (const Case& c : settings) EXPECT_EQ(Ex("SETPT", c.body), c.reply) << c.body;
  // Kept in the address book across starts.
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Ex("SETGT", ""), A("파란상사<QX>0801234567<QX>ad<QX>01055556666"));
  EXPECT_EQ(Ex("OPTLS", "").substr(0, 16), "1<QX>01033334444");
}

}  // namespace
}  // namespace parley
