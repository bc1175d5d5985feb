// What a new user met with qx, run against the engine binary and the simulators: each case is a
// send as a person would type it, and what reached the gateway (or that nothing did).
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "db/address_book.h"
#include "excel/workbook_writer.h"
#include "qx/book_command.h"
#include "qx/excel_command.h"
#include "qx/exit_codes.h"
#include "qx/qx_engine_fixture.h"
#include "qx/send_command.h"
#include "text/cp949.h"

namespace parley {
namespace {

std::string Hangul(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "가";
  return text;
}

class QxProtectTest : public QxEngineTest {
 protected:
  int Send(const SendOptions& options) {
    return Qx([&](auto& t, auto& o, auto& e) { return RunSendCommand(options, t, o, e); });
  }
  int Excel(const ExcelOptions& options) {
    return Qx([&](auto& t, auto& o, auto& e) { return RunExcelCommand(options, t, o, e); });
  }
  // Checks that qx said `said`, and when sent > 0 that one more gateway job came with that many
  // messages (counting it in *jobs).
  void ExpectOutcome(const std::string& said, int sent, size_t* jobs) {
    EXPECT_NE((out_.str() + err_.str()).find(said), std::string::npos) << out_.str() << err_.str();
    if (sent == 0) return;
    const std::vector<testing::GateJob> got = gate_.WaitForJobs(++*jobs);
    ASSERT_EQ(got.size(), *jobs);
    EXPECT_EQ(got.back().messages.size(), static_cast<size_t>(sent));
  }
};

TEST_F(QxProtectTest, DirectSendsAreCheckedBeforeTheyReachTheGateway) {
  ASSERT_EQ(Login({"qxuser", "qxpass", false, false}), kExitOk) << err_.str();
  const std::filesystem::path big = dir_.path() / "big.jpg";
  std::ofstream(big, std::ios::binary) << "\xFF\xD8\xFF\xE0" << std::string(4 << 20, 'x');
  const std::filesystem::path png = dir_.path() / "pic.jpg";
  std::ofstream(png, std::ios::binary) << "\x89PNG\r\n\x1a\n" << std::string(100, 'x');
  struct Case {
    std::vector<std::string> to;
    std::string text;
    std::string reserve;
    std::vector<std::string> images;
    int exit;
    std::vector<std::string> sent;  // recipients at the gateway, when the send went
    std::string type;               // the gateway's type code
    std::string said;               // a piece of what qx printed (out and err)
  } cases[] = {
      // Spaces are part of a number; three numbers, not five.
      {{"010-1234-5678,01098765432,010 5555 1212"},
       "안내",
       "",
       {},
       kExitOk,
       {"01012345678", "01098765432", "01055551212"},
       "SMS",
       "3 recipient(s)"},
      {{"+82 10-1234-5678"}, "안내", "", {}, kExitOk, {"01012345678"}, "SMS", ""},
      {{"01012345678,010-1234-5678", "+82 10 1234 5678"},
       "안내",
       "",
       {},
       kExitOk,
       {"01012345678"},
       "SMS",
       "2 duplicate number(s) removed"},
      {{"홍길동,01012345678"},
       "안내",
       "",
       {},
       kExitUsage,
       {},
       "",
       "\"홍길동\" is not a phone number"},
      {{"010,5555,1212"}, "안내", "", {}, kExitUsage, {}, "", "5555 is not a mobile number"},
      {{",,"}, "안내", "", {}, kExitUsage, {}, "", "no recipients"},
      {{"01012345678"}, "", "", {}, kExitUsage, {}, "", "the message text is empty"},
      {{"01012345678"}, "   ", "", {}, kExitUsage, {}, "", "the message text is empty"},
      {{"01012345678"},
       "안내",
       "2099-12-24 09:00",
       {},
       kExitOk,
       {"01012345678"},
       "SMS",
       "reserved for 2099-12-24 09:00"},
      {{"01012345678"}, "안내", "내일 9시", {}, kExitUsage, {}, "", "reservation \"내일 9시\""},
      {{"01012345678"}, "안내", "2020-01-01 09:00", {}, kExitUsage, {}, "", "is not in the future"},
      {{"01012345678"}, Hangul(47), "", {}, kExitOk, {"01012345678"}, "TXT", "LMS, 94 bytes"},
      {{"01012345678"}, std::string(3000, 'a'), "", {}, kExitUsage, {}, "", "3000 bytes"},
      {{"01012345678"}, "웃어요 😀", "", {}, kExitUsage, {}, "", "\"😀\" (line 1, column 5)"},
      {{"01012345678"},
       "사진",
       "",
       {big.string()},
       kExitUsage,
       {},
       "",
       "a picture may have at most"},
      {{"01012345678"}, "사진", "", {png.string()}, kExitUsage, {}, "", "is not a JPEG picture"},
  };
  size_t jobs = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to[0] + " / " + c.text.substr(0, 12) + " / " + c.reserve);
    SendOptions o;
    o.to = c.to;
    o.text = c.text;
    o.reserve = c.reserve;
    o.images = c.images;
    o.home = dir_.path().string();
    o.callback = "02-1234-5678";
    EXPECT_EQ(Send(o), c.exit) << out_.str() << err_.str();
    EXPECT_NE((out_.str() + err_.str()).find(c.said), std::string::npos)
        << out_.str() << err_.str();
    if (c.sent.empty()) continue;
    const std::vector<testing::GateJob> got = gate_.WaitForJobs(++jobs);
    ASSERT_EQ(got.size(), jobs);
    std::vector<std::string> recipients;
    for (const auto& m : got.back().messages) recipients.push_back(m.recipient);
    EXPECT_EQ(recipients, c.sent);
    EXPECT_EQ(got.back().header.type_code, c.type);
  }
  // Nothing refused reached the gateway.
  EXPECT_EQ(gate_.WaitForJobs(jobs + 1, 300).size(), jobs);
}

TEST_F(QxProtectTest, DryRunStopsAfterTheCheckAndCallbacksAreChecked) {
  ASSERT_EQ(Login({"qxuser", "qxpass", false, false}), kExitOk) << err_.str();
  SendOptions o;
  o.to = {"01012345678"};
  o.text = "안내";
  o.callback = "1588-1234";
  o.dry_run = true;
  EXPECT_EQ(Send(o), kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("the service allows the send: SMS 1 message(s)"), std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("dry run: nothing sent"), std::string::npos) << out_.str();
  o.dry_run = false;
  o.callback = "12345";
  EXPECT_EQ(Send(o), kExitUsage);
  EXPECT_NE(err_.str().find("12345 is not a callback number"), std::string::npos) << err_.str();
  EXPECT_EQ(gate_.WaitForJobs(1, 300).size(), 0u);
}

TEST_F(QxProtectTest, ExcelSendsEveryRowAndReportsTheTemplate) {
  SheetData sheet{"고객", {}};
  sheet.rows.push_back({std::string("이름"), std::string("전화")});
  sheet.rows.push_back({std::string("김민준"), std::string("010-1111-2222")});
  sheet.rows.push_back({std::string("남궁민수"), std::string("010-1111-2222")});  // same phone
  sheet.rows.push_back({std::string("이서연"), std::string("010-3333-4444")});
  const std::filesystem::path workbook = dir_.path() / "list.xlsx";
  std::string error;
  ASSERT_TRUE(WriteXlsx(workbook, {sheet}, XlsxOptions{}, &error)) << error;
  ASSERT_EQ(Login({"qxuser", "qxpass", false, false}), kExitOk) << err_.str();

  struct Case {
    std::string file;
    std::string sheet;
    std::string text;
    bool dedupe;
    int exit;
    int sent;          // messages at the gateway; 0: no job
    std::string said;  // a piece of what qx printed
  } cases[] = {
      // Before any workbook was chosen the engine has none to check: nothing is sent.
      {"", "고객", "안내", false, kExitRefused, 0, "no workbook"},
      {workbook.string(), "고객", "안내", false, kExitOk, 3, "3 recipient(s)"},
      {"", "고객", "안내", true, kExitOk, 2, "2 recipient(s)"},
      // A value cut is named and needs --allow-cut; a width that fits sends.
      {workbook.string(), "고객", "[이름:6]님 안내", false, kExitUsage, 0,
       "row 3: 이름 \"남궁민수\" is cut to \"남궁민\""},
      {workbook.string(), "고객", "[이름:8]님 안내", false, kExitOk, 3, "3 recipient(s)"},
      {workbook.string(), "고객", "[이름]님 안내", false, kExitUsage, 0, "[이름] has no width"},
      {workbook.string(), "고객", "[고객명:8]님", false, kExitUsage, 0,
       "no column \"고객명\"; the columns are: 이름, 전화"},
      {workbook.string(), "손님", "안내", false, kExitUsage, 0,
       "no sheet \"손님\"; the sheets are: 고객"},
  };
  size_t jobs = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sheet + " / " + c.text + (c.file.empty() ? "" : " / --file"));
    ExcelOptions o;
    o.action = "send";
    o.file = c.file;
    o.sheet = c.sheet;
    o.phone_column = "전화";
    o.callback = "0212345678";
    o.text = c.text;
    o.dedupe = c.dedupe;
    EXPECT_EQ(Excel(o), c.exit) << out_.str() << err_.str();
    ExpectOutcome(c.said, c.sent, &jobs);
  }
  EXPECT_EQ(gate_.WaitForJobs(jobs + 1, 300).size(), jobs);
}

// Bad phone and callback cells through qx: the check names every row, the send is refused
// until the user asks to leave them out, and then exactly the valid rows reach the gateway.
TEST_F(QxProtectTest, ExcelRowsWithWrongNumbersAreNamedAndLeftOutOnlyWhenAsked) {
  SheetData sheet{"명단", {}};
  sheet.rows.push_back({std::string("이름"), std::string("전화"), std::string("회신")});
  const std::pair<const char*, const char*> rows[] = {
      {"", "0212345678"},                  // row 2: empty phone
      {"abc", "0212345678"},               // row 3
      {"+82 10 5555 6666", "0212345678"},  // row 4: valid
      {"02-123-4567", "0212345678"},       // row 5: a landline
      {"1588-1234", "0212345678"},         // row 6: a representative number
      {"010-2222-3333", ""},               // row 7: no callback
      {"010-2222-4444", "12"},             // row 8: no callback number
      {"01022225555", "1588-1234"},        // row 9: valid
  };
  for (const auto& [phone, back] : rows) {
    sheet.rows.push_back({std::string("홍길동"), std::string(phone), std::string(back)});
  }
  const std::filesystem::path workbook = dir_.path() / "bad.xlsx";
  std::string error;
  ASSERT_TRUE(WriteXlsx(workbook, {sheet}, XlsxOptions{}, &error)) << error;
  ASSERT_EQ(Login({"qxuser", "qxpass", false, false}), kExitOk) << err_.str();

  ExcelOptions o;
  o.action = "check";
  o.file = workbook.string();
  o.sheet = "명단";
  o.phone_column = "전화";
  o.callback_column = "회신";
  o.text = "안내";
  EXPECT_EQ(Excel(o), kExitUsage) << out_.str() << err_.str();
  for (const char* said :
       {"6 row(s) have a number that cannot be sent", "row 2: \"\" (empty cell)",
        "row 3: \"abc\" (not a phone number)", "row 5: \"02-123-4567\" (not a mobile number)",
        "row 6: \"1588-1234\" (not a mobile number)", "row 7: \"\" (empty callback cell)",
        "row 8: \"12\" (the callback is not a phone number)", "--skip-invalid"}) {
    EXPECT_NE((out_.str() + err_.str()).find(said), std::string::npos) << said;
  }
  o.action = "send";
  EXPECT_EQ(Excel(o), kExitUsage);
  EXPECT_EQ(gate_.WaitForJobs(1, 300).size(), 0u);
  o.skip_invalid = true;
  ASSERT_EQ(Excel(o), kExitOk) << out_.str() << err_.str();
  const std::vector<testing::GateJob> jobs = gate_.WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  ASSERT_EQ(jobs[0].messages.size(), 2u);
  EXPECT_EQ(jobs[0].messages[0].recipient, "01055556666");
  EXPECT_EQ(jobs[0].messages[1].recipient, "01022225555");
  EXPECT_EQ(jobs[0].messages[1].callback, "15881234");
}

TEST_F(QxProtectTest, GroupSendsNeedKnownGroupsWithMembersAndALogin) {
  {
    BookFile book;
    std::string error;
    ASSERT_TRUE(book.Open(dir_.path() / AddressBook::kFileName, &error)) << error;
    ASSERT_TRUE(book.AddGroup("친구", &error)) << error;
    ASSERT_TRUE(book.AddGroup("빈그룹", &error)) << error;
    std::istringstream csv("김민준,010-5555-6666\n이서연,010-7777-8888\n");
    int added = 0;
    ASSERT_TRUE(book.Import("친구", csv, &added, &error)) << error;
  }
  struct Case {
    bool logged_in;
    std::string groups;
    bool check_only;  // --check: nothing is sent
    int exit;
    int sent;  // messages at the gateway; 0: no job
    std::string said;
  } cases[] = {
      {false, "친구", false, kExitRefused, 0, "not logged in"},
      {true, "친구", true, kExitOk, 0, "the service allows the send: SMS 3 message(s)"},
      {true, "친구", false, kExitOk, 3, "group 친구: 2 member(s)"},
      {true, "동창", false, kExitUsage, 0, "no group \"동창\" in the engine's address book"},
      {true, "빈그룹", false, kExitUsage, 0, "group \"빈그룹\" has no members"},
      {true, "친구,동창", false, kExitUsage, 0, "the groups are: "},
  };
  size_t jobs = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.groups + (c.logged_in ? "" : " (logged out)"));
    if (c.logged_in) {
      ASSERT_EQ(Login({"qxuser", "qxpass", false, false}), kExitOk) << err_.str();
    }
    SendOptions o;
    o.groups = {c.groups};
    o.to = {"01011112222"};
    o.callback = "0212345678";
    o.text = "안내";
    o.check_only = c.check_only;
    EXPECT_EQ(Send(o), c.exit) << out_.str() << err_.str();
    ExpectOutcome(c.said, c.sent, &jobs);
  }
  EXPECT_EQ(gate_.WaitForJobs(jobs + 1, 300).size(), jobs);
}

}  // namespace
}  // namespace parley
