// qx sub-commands against the engine binary, with the web service and gateway simulators. qx
// opens one connection per command, so these also show the engine keeping the login between
// connections.
#include <filesystem>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "excel/workbook_writer.h"
#include "qx/check_command.h"
#include "qx/end_command.h"
#include "qx/excel_command.h"
#include "qx/exit_codes.h"
#include "qx/login_command.h"
#include "qx/messages_command.h"
#include "qx/qx_engine_fixture.h"
#include "qx/results_command.h"
#include "qx/send_command.h"
#include "testing/engine_process.h"
#include "testing/gate_sim_process.h"
#include "testing/web_sim_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

TEST_F(QxEngineTest, LoginCheckBrowseLogoutQuit) {
  EXPECT_EQ(Login({"", "", false, true}), kExitOk);
  EXPECT_EQ(out_.str(), "no saved id\n");
  EXPECT_EQ(Login({"qxuser", "wrong", false, false}), kExitRefused);
  EXPECT_EQ(out_.str(), "login refused (0)\n");
  EXPECT_EQ(Login({"q", "p", false, false}), kExitUsage);  // would be the saved-id query
  ASSERT_EQ(Login({"qxuser", "qxpass", true, false}), kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("left SMS 10000 / LMS 3333 / MMS 1000"), std::string::npos)
      << out_.str();
  EXPECT_EQ(Login({"", "", false, true}), kExitOk);
  EXPECT_EQ(out_.str(), "saved id: qxuser\n");

  // Each command below is a new connection: the engine's web session carries over.
  CheckOptions check{15, "lms", "", false};
  EXPECT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunCheckCommand(check, t, o, e); }),
            kExitOk);
  EXPECT_NE(out_.str().find("the service allows the send: LMS 15 message(s)"), std::string::npos)
      << out_.str();
  check.count = 999999;  // more than the balance allows
  EXPECT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunCheckCommand(check, t, o, e); }),
            kExitRefused);

  MessagesOptions saved;
  saved.action = "saved";
  saved.size = 2;
  ASSERT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunMessagesCommand(saved, t, o, e); }),
            kExitOk);
  EXPECT_NE(out_.str().find("saved messages: SMS 12, LMS 3\n"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("\n12  "), std::string::npos) << out_.str();  // newest first
  MessagesOptions catalogue;
  catalogue.action = "catalogue";
  ASSERT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunMessagesCommand(catalogue, t, o, e); }),
            kExitOk);
  EXPECT_NE(out_.str().find("(`^`)"), std::string::npos) << out_.str();  // backtick restored

  ResultsOptions results;
  results.from = "2024-03-01";
  results.to = "2024-03-31";
  results.kind = "MMS";
  ASSERT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunResultsCommand(results, t, o, e); }),
            kExitOk);
  // The totals cover every kind of the period; the list only the kind asked for.
  EXPECT_NE(out_.str().find("messages: 66 in all, 62 delivered, 3 failed, 1 waiting"),
            std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("\n 5  2024-03-05 13:28:00  MMS"), std::string::npos) << out_.str();
  EXPECT_EQ(out_.str().find("  SMS  "), std::string::npos) << out_.str();
  StatsOptions stats{"2024-03", "2024-03"};
  ASSERT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunStatsCommand(stats, t, o, e); }),
            kExitOk);
  EXPECT_NE(out_.str().find("합계"), std::string::npos) << out_.str();

  EXPECT_EQ(
      Qx([](auto& t, auto& o, auto& e) { return RunEndCommand(0, Language::kEnglish, t, o, e); }),
      kExitOk);
  // Logged out at the web service: the check is refused now.
  check.count = 1;
  EXPECT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunCheckCommand(check, t, o, e); }),
            kExitRefused);
  // A save the web service did not answer fails; a text the form would split is refused first.
  MessagesOptions save;
  save.action = "save";
  save.text = "hello";
  EXPECT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunMessagesCommand(save, t, o, e); }),
            kExitRefused);
  saved.size = 2;
  EXPECT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunMessagesCommand(saved, t, o, e); }),
            kExitRefused)
      << out_.str();
  EXPECT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunResultsCommand(results, t, o, e); }),
            kExitRefused)
      << out_.str();
  save.text = "a&b=c";
  EXPECT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunMessagesCommand(save, t, o, e); }),
            kExitUsage);
  // A group send runs no check, so asking for one is a usage error.
  SendOptions group;
  group.groups = {"friends"};
  group.text = "x";
  group.check_only = true;
  EXPECT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunSendCommand(group, t, o, e); }),
            kExitUsage);
  // The engine is reached by a host name too.
  target_.host = "localhost";
  EXPECT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunCheckCommand(check, t, o, e); }),
            kExitRefused)
      << err_.str();
  target_.host = "127.0.0.1";
  EXPECT_EQ(
      Qx([](auto& t, auto& o, auto& e) { return RunEndCommand(1, Language::kEnglish, t, o, e); }),
      kExitOk);
  int status = -1;
  EXPECT_TRUE(engine_->Wait(5000, &status));
  EXPECT_EQ(
      Qx([](auto& t, auto& o, auto& e) { return RunEndCommand(0, Language::kEnglish, t, o, e); }),
      kExitNoEngine);
}

TEST_F(QxEngineTest, ExcelListPreviewAndPersonalisedSend) {
  SheetData sheet{"명단", {}};
  sheet.rows.push_back({std::string("이름"), std::string("전화")});
  sheet.rows.push_back({std::string("김민준"), 1012345678.0});  // a number loses its leading 0
  sheet.rows.push_back({std::string("이서연"), std::string("010-2222-3333")});
  sheet.rows.push_back({std::string("박도윤"), std::string("010-2222-3333")});  // same phone
  const std::filesystem::path workbook = dir_.path() / "list.xlsx";
  std::string error;
  ASSERT_TRUE(WriteXlsx(workbook, {sheet}, XlsxOptions{}, &error)) << error;
  ASSERT_EQ(Login({"qxuser", "qxpass", false, false}), kExitOk);

  auto excel = [&](ExcelOptions options) {
    return Qx([&](auto& t, auto& o, auto& e) { return RunExcelCommand(options, t, o, e); });
  };
  ExcelOptions list;
  list.action = "list";
  list.file = workbook.string();
  ASSERT_EQ(excel(list), kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("sheet 명단: 3 rows"), std::string::npos) << out_.str();

  ExcelOptions count;
  count.action = "count";
  count.sheet = "명단";
  count.column = "전화";
  ASSERT_EQ(excel(count), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), "2\n");
  count.column = "없는열";
  EXPECT_EQ(excel(count), kExitRefused);  // the engine's "Exception:[...]"

  ExcelOptions send;
  send.action = "preview";
  send.sheet = "명단";
  send.phone_column = "전화";
  send.callback = "0212345678";
  send.text = "[이름:4]님, 안녕하세요";
  ASSERT_EQ(excel(send), kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("010-1234-5678  021-234-5678  김민님, 안녕하세요"), std::string::npos)
      << out_.str();

  // Without --count every valid row is sent; the values the width cuts need --allow-cut.
  send.action = "send";
  send.file = workbook.string();
  send.allow_cut = true;
  ASSERT_EQ(excel(send), kExitOk) << out_.str() << err_.str();
  std::vector<testing::GateJob> jobs = gate_.WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].header.count, 3);
  ASSERT_EQ(jobs[0].messages.size(), 3u);
  EXPECT_EQ(jobs[0].messages[0].recipient, "01012345678");
  EXPECT_EQ(jobs[0].messages[2].text, Utf8ToAnsi("박도님, 안녕하세요"));

  // --dedupe counts distinct phone numbers and sends once per distinct row.
  send.file.clear();
  send.dedupe = true;
  send.text = "안녕하세요";
  ASSERT_EQ(excel(send), kExitOk) << out_.str() << err_.str();
  jobs = gate_.WaitForJobs(2);
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[1].messages.size(), 2u);
}

TEST_F(QxEngineTest, ASavedMessageIsSentByItsNumber) {
  ASSERT_EQ(Login({"qxuser", "qxpass", false, false}), kExitOk) << err_.str();
  SendOptions send;
  send.to = {"010-1234-5678"};
  send.callback = "02-123-4567";
  send.yes = true;
  send.saved = 5;  // an SMS of the seeded box
  ASSERT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunSendCommand(send, t, o, e); }), kExitOk)
      << out_.str() << err_.str();
  send.saved = 13;  // an LMS: its subject becomes the title
  ASSERT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunSendCommand(send, t, o, e); }), kExitOk)
      << out_.str() << err_.str();
  const std::vector<testing::GateJob> jobs = gate_.WaitForJobs(2);
  ASSERT_EQ(jobs.size(), 2u);
  ASSERT_EQ(jobs[0].messages.size(), 1u);
  EXPECT_EQ(jobs[0].messages[0].text, Utf8ToAnsi("저장한 문자 내용 5"));
  EXPECT_EQ(jobs[1].header.title, Utf8ToAnsi("내 장문 1"));

  send.saved = 99;
  EXPECT_EQ(Qx([&](auto& t, auto& o, auto& e) { return RunSendCommand(send, t, o, e); }),
            kExitRefused);
  EXPECT_NE(err_.str().find("no saved message 99"), std::string::npos) << err_.str();
}

}  // namespace
}  // namespace parley
