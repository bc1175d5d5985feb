// Korea's sending rules through qx, against the engine binary and the simulators: qx refuses an
// advertising send whose text, hours or callback break a rule before the engine sees it, shows
// what the opt-out list leaves out and what the send costs, and keeps the engine's lists and
// settings. Each case is what a person types and what qx answers (English words, exit code), and
// what reached the gateway.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client/book_file.h"
#include "db/address_book.h"
#include "excel/workbook_writer.h"
#include "qx/excel_command.h"
#include "qx/exit_codes.h"
#include "qx/qx_engine_fixture.h"
#include "qx/rules_list_command.h"
#include "qx/send_command.h"
#include "qx/settings_command.h"
#include "text/cp949.h"

namespace parley {
namespace {

// An advertising text that keeps every rule with business name 파란상사 and opt-out 080-123-4567.
constexpr char kAdText[] = "(광고)파란상사 봄세일\n무료수신거부 080-123-4567";
// A reservation far ahead at Korean noon: the engine's clock never puts it in the night.
constexpr char kNoon[] = "2099-12-24 12:00";

// The Unix time at which it is `minute` of the day in Korea (on 2030-01-02).
int64_t KoreanMinute(int minute) {
  constexpr int64_t kDayUtc = 1893542400;  // 2030-01-02 00:00 UTC
  return kDayUtc - 9 * 3600 + int64_t{minute} * 60;
}

bool GateTextHas(const testing::GateMessage& message, const std::string& utf8) {
  return message.text.find(Utf8ToAnsi(utf8)) != std::string::npos ||
         message.text.find(utf8) != std::string::npos;
}

class QxRulesTest : public QxEngineTest {
 protected:
  int Send(const SendOptions& options, int64_t now_unix = 0) {
    return Qx(
        [&](auto& t, auto& o, auto& e) { return RunSendCommand(options, t, o, e, now_unix); });
  }
  int List(const std::string& list, const std::string& action,
           const std::vector<std::string>& numbers = {}, const std::string& file = {}) {
    RulesListOptions options;
    options.list = list;
    options.action = action;
    options.numbers = numbers;
    options.file = file;
    return Qx([&](auto& t, auto& o, auto& e) { return RunRulesListCommand(options, t, o, e); });
  }
  int Set(const std::string& name, const std::string& value) {
    SettingsOptions options;
    options.set = true;
    options.name = name;
    options.value = value;
    return Qx([&](auto& t, auto& o, auto& e) { return RunSettingsCommand(options, t, o, e); });
  }
  // The business name and the opt-out number set, logged in.
  void SetUpRules() {
    ASSERT_EQ(Login({"qxuser", "qxpass", false, false}), kExitOk) << err_.str();
    ASSERT_EQ(Set("business_name", "파란상사"), kExitOk) << err_.str();
    ASSERT_EQ(Set("optout_number", "080-123-4567"), kExitOk) << err_.str();
  }
  // An advertising send of text to 010-2222-3333, reserved at `reserve`.
  SendOptions Ad(const std::string& text, const std::string& reserve = kNoon) {
    SendOptions o;
    o.to = {"010-2222-3333"};
    o.text = text;
    o.reserve = reserve;
    o.callback = "02-1234-5678";
    o.advert = true;
    return o;
  }
  std::string Said() const { return out_.str() + err_.str(); }
};

TEST_F(QxRulesTest, AdvertisingTextsAreRefusedBeforeTheEngineUnlessMarkedNamedAndFooted) {
  ASSERT_NO_FATAL_FAILURE(SetUpRules());
  struct Case {
    std::string text;
    int exit;
    std::string said;  // a piece of what qx printed
  } cases[] = {
      {kAdText, kExitOk, "1 recipient(s)"},
      {"(광고) 파란상사 봄세일 무료거부 0801234567", kExitOk, "reserved for"},
      {"[광고]파란상사 봄세일\n무료수신거부 080-123-4567", kExitUsage,
       "must begin with exactly \"(광고)\""},
      {"(광 고)파란상사 봄세일\n무료수신거부 080-123-4567", kExitUsage,
       "must begin with exactly \"(광고)\""},
      {"(광.고)파란상사 봄세일\n무료수신거부 080-123-4567", kExitUsage,
       "must begin with exactly \"(광고)\""},
      {"(광고)봄세일\n무료수신거부 080-123-4567", kExitUsage,
       "the business name \"파란상사\" must follow \"(광고)\""},
      {"(광고)파란상사 봄세일", kExitUsage, "must end with a free opt-out line"},
      {"(광고)파란상사 봄세일\n무료수신 거부 080-123-4567", kExitUsage,
       "must end with a free opt-out line"},
      {"(광고)파란상사 봄세일\n무료수신거부 02-123-4567", kExitUsage, "must be a free 080 number"},
      {"(광고)파란상사 봄세일\n무료수신거부 080-999-9999", kExitUsage,
       "must name the free number set in the settings, 080-123-4567"},
  };
  size_t jobs = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Send(Ad(c.text)), c.exit) << Said();
    EXPECT_NE(Said().find(c.said), std::string::npos) << Said();
    if (c.exit != kExitOk) continue;
    const std::vector<testing::GateJob> got = gate_.WaitForJobs(++jobs);
    ASSERT_EQ(got.size(), jobs);
    EXPECT_TRUE(GateTextHas(got.back().messages.at(0), "파란상사 봄세일"));
  }
  // Nothing refused reached the gateway.
  EXPECT_EQ(gate_.WaitForJobs(jobs + 1, 300).size(), jobs);

  // Without a business name no advertising text can be right.
  ASSERT_EQ(Set("business_name", ""), kExitOk) << err_.str();
  EXPECT_EQ(Send(Ad(kAdText)), kExitUsage);
  EXPECT_NE(Said().find("needs the business name"), std::string::npos) << Said();
}

TEST_F(QxRulesTest, InsertedMarkerAndFooterMakeTheTextAnAdvertisingOne) {
  ASSERT_NO_FATAL_FAILURE(SetUpRules());
  SendOptions o = Ad("봄세일 안내");
  o.advert = false;
  o.insert_ad = true;
  ASSERT_EQ(Send(o), kExitOk) << Said();
  EXPECT_NE(out_.str().find("SMS"), std::string::npos) << out_.str();
  EXPECT_EQ(out_.str().find("goes as an LMS"), std::string::npos) << out_.str();
  const std::vector<testing::GateJob> got = gate_.WaitForJobs(1);
  ASSERT_EQ(got.size(), 1u);
  const testing::GateMessage& sent = got[0].messages.at(0);
  EXPECT_TRUE(GateTextHas(sent, "(광고)파란상사\n봄세일 안내\n무료수신거부 080-123-4567"))
      << AnsiToUtf8(sent.text);
  // A text that fits an SMS alone no longer does with the marker and the footer: qx says so.
  o.text = std::string(60, 'a');
  o.dry_run = true;
  ASSERT_EQ(Send(o), kExitOk) << Said();
  EXPECT_NE(out_.str().find("with the advertising marker and the opt-out line the text is"),
            std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("LMS"), std::string::npos) << out_.str();
}

TEST_F(QxRulesTest, NightHoursAreKoreanTimeForReservationsAndForNow) {
  ASSERT_NO_FATAL_FAILURE(SetUpRules());
  struct Case {
    std::string reserve;  // empty: now, at Korean minute `now`
    int now;
    bool consent;
    int exit;
    std::string said;
  } cases[] = {
      {"2099-12-24 20:59", 0, false, kExitOk, "reserved for 2099-12-24 20:59"},
      {"2099-12-24 21:00", 0, false, kExitUsage, "the reservation is at 21:00"},
      {"2099-12-25 07:59", 0, false, kExitUsage, "the reservation is at 07:59"},
      {"2099-12-25 08:00", 0, false, kExitOk, "reserved for 2099-12-25 08:00"},
      {"2099-12-24 23:30", 0, true, kExitOk, "reserved for 2099-12-24 23:30"},
      // Sends now are planned at the given Korean minute and stop after the send check.
      {"", 20 * 60 + 59, false, kExitOk, "dry run: nothing sent"},
      {"", 21 * 60, false, kExitUsage, "it is 21:00 in Korea"},
      {"", 7 * 60 + 59, false, kExitUsage, "it is 07:59 in Korea"},
      {"", 8 * 60, false, kExitOk, "dry run: nothing sent"},
      {"", 23 * 60, true, kExitOk, "dry run: nothing sent"},
  };
  size_t jobs = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reserve + " / " + std::to_string(c.now) + (c.consent ? " / consent" : ""));
    SendOptions o = Ad(kAdText, c.reserve);
    o.night_consent = c.consent;
    o.dry_run = c.reserve.empty();
    EXPECT_EQ(Send(o, c.reserve.empty() ? KoreanMinute(c.now) : 0), c.exit) << Said();
    EXPECT_NE(Said().find(c.said), std::string::npos) << Said();
    if (c.exit != kExitOk || o.dry_run) continue;
    const std::vector<testing::GateJob> got = gate_.WaitForJobs(++jobs);
    ASSERT_EQ(got.size(), jobs);
    EXPECT_EQ(got.back().header.title.find("<AD>"), std::string::npos);
  }
  EXPECT_EQ(gate_.WaitForJobs(jobs + 1, 300).size(), jobs);
}

TEST_F(QxRulesTest, OptedOutRecipientsAreCountedAndNeverReachTheGateway) {
  ASSERT_NO_FATAL_FAILURE(SetUpRules());
  ASSERT_EQ(List("optout", "add", {"010-2222-3333,010 4444 5555"}), kExitOk) << Said();
  EXPECT_NE(out_.str().find("2 number(s) added, 0 already on the list"), std::string::npos)
      << out_.str();
  ASSERT_EQ(List("optout", "list"), kExitOk) << Said();
  EXPECT_NE(out_.str().find("01044445555"), std::string::npos) << out_.str();

  SendOptions o = Ad(kAdText);
  o.to = {"010-2222-3333,010-6666-7777,01044445555"};
  ASSERT_EQ(Send(o), kExitOk) << Said();
  EXPECT_NE(out_.str().find("2 recipient(s) on the opt-out list are left out"), std::string::npos)
      << out_.str();
  const std::vector<testing::GateJob> got = gate_.WaitForJobs(1);
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].messages.size(), 1u);
  EXPECT_EQ(got[0].messages[0].recipient, "01066667777");

  // Only opted-out recipients: nothing to send, said before the engine is asked to send.
  o.to = {"010-2222-3333"};
  EXPECT_EQ(Send(o), kExitRefused) << Said();
  EXPECT_NE(err_.str().find("all 1 recipient(s) are on the opt-out list"), std::string::npos)
      << err_.str();
  // An ordinary send is not filtered while the list applies to advertising only.
  SendOptions plain = Ad("안내");
  plain.advert = false;
  ASSERT_EQ(Send(plain), kExitOk) << Said();
  EXPECT_NE(out_.str().find("0 recipient(s) on the opt-out list"), std::string::npos) << Said();
  EXPECT_EQ(gate_.WaitForJobs(2).size(), 2u);
}

TEST_F(QxRulesTest, GroupSendsCountTheOptedOutMembersAndTheirCost) {
  {
    BookFile book;
    std::string error;
    ASSERT_TRUE(book.Open(dir_.path() / AddressBook::kFileName, &error)) << error;
    ASSERT_TRUE(book.AddGroup("친구", &error)) << error;
    std::istringstream csv("김민준,010-5555-6666\n이서연,010-7777-8888\n");
    int added = 0;
    ASSERT_TRUE(book.Import("친구", csv, &added, &error)) << error;
  }
  ASSERT_NO_FATAL_FAILURE(SetUpRules());
  ASSERT_EQ(List("optout", "add", {"01077778888"}), kExitOk) << Said();
  SendOptions o = Ad(kAdText);
  o.groups = {"친구"};
  o.to = {"01011112222"};
  ASSERT_EQ(Send(o), kExitOk) << Said();
  EXPECT_NE(out_.str().find("1 recipient(s) on the opt-out list are left out"), std::string::npos)
      << out_.str();
  // Three recipients asked, one left out: two SMS of the 10,000 the account holds.
  EXPECT_NE(out_.str().find("2 message(s) cost about 25 won"), std::string::npos) << out_.str();
  const std::vector<testing::GateJob> got = gate_.WaitForJobs(1);
  ASSERT_EQ(got.size(), 1u);
  std::vector<std::string> recipients;
  for (const testing::GateMessage& m : got[0].messages) recipients.push_back(m.recipient);
  std::sort(recipients.begin(), recipients.end());
  EXPECT_EQ(recipients, (std::vector<std::string>{"01011112222", "01055556666"}));
}

TEST_F(QxRulesTest, OptOutListImportsAndExportsFilesAndNamesRefusedItems) {
  const std::filesystem::path csv = dir_.path() / "optout.csv";
  std::ofstream(csv) << "번호,메모\n010-1111-2222,전화로 요청\n01033334444\n홍길동\n";
  ASSERT_EQ(List("optout", "import", {}, csv.string()), kExitUsage) << Said();
  EXPECT_NE(out_.str().find("2 number(s) added"), std::string::npos) << out_.str();
  EXPECT_NE(err_.str().find("\"홍길동\" not added: \"홍길동\" is not a phone number"),
            std::string::npos)
      << err_.str();
  const std::filesystem::path xlsx = dir_.path() / "optout.xlsx";
  SheetData sheet{"거부", {}};
  sheet.rows.push_back({std::string("전화")});
  sheet.rows.push_back({std::string("010-1111-2222")});
  sheet.rows.push_back({std::string("010-5555-6666")});
  std::string error;
  ASSERT_TRUE(WriteXlsx(xlsx, {sheet}, XlsxOptions{}, &error)) << error;
  ASSERT_EQ(List("optout", "import", {}, xlsx.string()), kExitOk) << Said();
  EXPECT_NE(out_.str().find("1 number(s) added, 1 already on the list"), std::string::npos)
      << out_.str();

  const std::filesystem::path exported = dir_.path() / "out" / "list.txt";
  EXPECT_EQ(List("optout", "export", {}, exported.string()), kExitUsage);  // no such folder
  EXPECT_NE(err_.str().find("cannot write"), std::string::npos) << err_.str();
  std::filesystem::create_directories(exported.parent_path());
  ASSERT_EQ(List("optout", "export", {}, exported.string()), kExitOk) << Said();
  EXPECT_NE(out_.str().find("3 number(s) written to"), std::string::npos) << out_.str();
  std::ifstream in(exported);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "01011112222\n01033334444\n01055556666\n");

  ASSERT_EQ(List("optout", "remove", {"010-1111-2222", "01099998888"}), kExitOk) << Said();
  EXPECT_NE(out_.str().find("1 number(s) removed, 1 not on the list"), std::string::npos)
      << out_.str();
  const std::filesystem::path empty = dir_.path() / "empty.csv";
  std::ofstream(empty) << "번호\n";
  EXPECT_EQ(List("optout", "import", {}, empty.string()), kExitUsage);
  EXPECT_NE(err_.str().find("holds no numbers"), std::string::npos) << err_.str();
}

TEST_F(QxRulesTest, OnlyRegisteredCallbacksMaySend) {
  ASSERT_NO_FATAL_FAILURE(SetUpRules());
  ASSERT_EQ(List("callbacks", "add", {"02-1234-5678;1588-1234", "12"}), kExitUsage) << Said();
  EXPECT_NE(out_.str().find("2 number(s) added"), std::string::npos) << out_.str();
  EXPECT_NE(err_.str().find("\"12\" not added"), std::string::npos) << err_.str();
  ASSERT_EQ(List("callbacks", "list"), kExitOk);
  EXPECT_NE(out_.str().find("15881234"), std::string::npos) << out_.str();
  struct Case {
    std::string callback;
    int exit;
    std::string said;
  } cases[] = {
      {"02-1234-5678", kExitOk, "1 recipient(s)"},
      {"1588-1234", kExitOk, "1 recipient(s)"},
      {"031-555-1234", kExitUsage, "the callback 0315551234 is not one of your registered numbers"},
      {"12", kExitUsage, "12 is not a callback number"},
  };
  size_t jobs = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.callback);
    SendOptions o = Ad("안내");
    o.advert = false;
    o.callback = c.callback;
    EXPECT_EQ(Send(o), c.exit) << Said();
    EXPECT_NE(Said().find(c.said), std::string::npos) << Said();
    if (c.exit == kExitOk) {
      EXPECT_EQ(gate_.WaitForJobs(++jobs).size(), jobs);
    }
  }
  EXPECT_EQ(gate_.WaitForJobs(jobs + 1, 300).size(), jobs);
  // With none registered any valid callback goes.
  ASSERT_EQ(List("callbacks", "remove", {"0212345678,15881234"}), kExitOk) << Said();
  SendOptions o = Ad("안내");
  o.advert = false;
  o.callback = "031-555-1234";
  EXPECT_EQ(Send(o), kExitOk) << Said();
}

TEST_F(QxRulesTest, SettingsAreShownAndRefusedInTheUsersWords) {
  struct Case {
    std::string name;
    std::string value;
    int exit;
    std::string said;
  } cases[] = {
      {"business_name", "파란상사", kExitOk, "business_name is now \"파란상사\""},
      {"optout_number", "080-123-4567", kExitOk, "0801234567"},
      {"optout_number", "02-123-4567", kExitRefused, "optout_number must be a free 080 number"},
      {"optout_applies", "sometimes", kExitRefused, "optout_applies is \"ad\""},
      {"optout_applies", "all", kExitOk, "all"},
      {"own_number", "02-123-4567", kExitRefused, "own_number must be a mobile number"},
      {"colour", "blue", kExitRefused, "there is no setting \"colour\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + "=" + c.value);
    EXPECT_EQ(Set(c.name, c.value), c.exit) << Said();
    EXPECT_NE(Said().find(c.said), std::string::npos) << Said();
  }
  SettingsOptions show;
  ASSERT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunSettingsCommand(show, t, o, e); }),
            kExitOk);
  EXPECT_NE(out_.str().find("파란상사"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("0801234567"), std::string::npos) << out_.str();
}

TEST_F(QxRulesTest, WorkbookAdvertisingSendsAreCheckedAndTagged) {
  ASSERT_NO_FATAL_FAILURE(SetUpRules());
  SheetData sheet{"고객", {}};
  sheet.rows.push_back({std::string("이름"), std::string("전화")});
  sheet.rows.push_back({std::string("김민준"), std::string("010-1111-2222")});
  const std::filesystem::path workbook = dir_.path() / "list.xlsx";
  std::string error;
  ASSERT_TRUE(WriteXlsx(workbook, {sheet}, XlsxOptions{}, &error)) << error;
  struct Case {
    std::string text;
    std::string reserve;
    int exit;
    std::string said;
  } cases[] = {
      {"[광고]파란상사 [이름:8]님\n무료수신거부 080-123-4567", kNoon, kExitUsage,
       "must begin with exactly \"(광고)\""},
      {"(광고)파란상사 [이름:8]님\n무료수신거부 080-123-4567", "2099-12-24 22:00", kExitUsage,
       "the reservation is at 22:00"},
      {"(광고)파란상사 [이름:8]님\n무료수신거부 080-123-4567", kNoon, kExitOk, "1 recipient(s)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " / " + c.reserve);
    ExcelOptions o;
    o.action = "send";
    o.file = workbook.string();
    o.sheet = "고객";
    o.phone_column = "전화";
    o.callback = "0212345678";
    o.text = c.text;
    o.reserve = c.reserve;
    o.advert = true;
    EXPECT_EQ(Qx([&](auto& t, auto& out, auto& e) { return RunExcelCommand(o, t, out, e); }),
              c.exit)
        << Said();
    EXPECT_NE(Said().find(c.said), std::string::npos) << Said();
  }
  const std::vector<testing::GateJob> got = gate_.WaitForJobs(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(GateTextHas(got[0].messages.at(0), "(광고)파란상사 김민준님"));
  EXPECT_EQ(gate_.WaitForJobs(2, 300).size(), 1u);
}

// The estimate comes from the account figures of the send check: a send that costs more than
// the balance is refused with both amounts, before the engine is asked to send.
TEST_F(QxRulesTest, CostIsEstimatedAndASendOverTheBalanceIsRefused) {
  const testing::TempDir poor_dir;
  testing::WebSim poor(poor_dir.path(), {"--user", "poor:pw:2"});
  LinkTarget target;
  target.port = testing::FreePort();
  target.timeout_seconds = 20;
  const std::unique_ptr<testing::ChildProcess> engine =
      StartEngine(poor_dir.path(), target.port, poor, gate_.port());
  ASSERT_TRUE(engine->WaitForLog("listening on", 10000)) << engine->Log();
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunLoginCommand({"poor", "pw", false, false}, target, out, err), kExitOk) << err.str();
  struct Case {
    std::vector<std::string> to;
    int exit;
    std::string said;
  } cases[] = {
      {{"01011112222,01033334444,01055556666"},
       kExitRefused,
       "the send costs about 38 won, more than the balance of 25 won"},
      {{"01011112222,01033334444"}, kExitOk, "2 message(s) cost about 25 won (balance 25 won)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to[0]);
    SendOptions o;
    o.to = c.to;
    o.text = "안내";
    o.dry_run = true;
    out.str("");
    err.str("");
    EXPECT_EQ(RunSendCommand(o, target, out, err), c.exit) << out.str() << err.str();
    EXPECT_NE((out.str() + err.str()).find(c.said), std::string::npos) << out.str() << err.str();
  }
  EXPECT_TRUE(gate_.WaitForJobs(1, 300).empty());
}

}  // namespace
}  // namespace parley
