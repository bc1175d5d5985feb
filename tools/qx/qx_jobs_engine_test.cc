// qx jobs against the engine: a job cut short by the gateway is listed and shown with its counts,
// its rest is sent once through an engine started again against a working gateway, and its
// recipients are exported and the old jobs forgotten.
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client/link_client.h"
#include "qx/exit_codes.h"
#include "qx/jobs_command.h"
#include "qx/qx_engine_fixture.h"
#include "qx/send_command.h"

namespace parley {
namespace {

std::string Number(int i) { return "010" + std::to_string(100000000 + i).substr(1); }

class QxJobsTest : public ::testing::Test {
 protected:
  // Starts the engine in dir_ (its journal there) against gate, logged in.
  void StartEngine(const testing::GateSim& gate) {
    if (engine_) {
      engine_.reset();
      std::filesystem::rename(dir_.path() / "engine.log", dir_.path() / "engine-before.log");
    }
    target_.port = testing::FreePort();
    target_.timeout_seconds = 30;
    engine_ = QxEngineTest::StartEngine(dir_.path(), target_.port, web_, gate.port());
    ASSERT_TRUE(engine_->WaitForLog("listening on", 10000)) << engine_->Log();
    LoginOptions login{"qxuser", "qxpass", false, false};
    ASSERT_EQ(RunLoginCommand(login, target_, out_, err_), kExitOk) << err_.str();
  }

  int Jobs(JobsOptions options) {
    out_.str("");
    err_.str("");
    return RunJobsCommand(options, target_, out_, err_);
  }

  testing::TempDir dir_;
  testing::WebSim web_{dir_.path()};
  std::unique_ptr<testing::ChildProcess> engine_;
  LinkTarget target_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(QxJobsTest, AJobCutShortIsShownResentOnceExportedAndForgotten) {
  const std::filesystem::path cut_dir = dir_.path() / "cut";
  std::filesystem::create_directories(cut_dir);
  testing::GateSim cutting{cut_dir, {"--close-after", "60"}};
  ASSERT_NO_FATAL_FAILURE(StartEngine(cutting));
  SendOptions send;
  for (int i = 0; i < 120; ++i) send.to.push_back(Number(i));
  send.text = "안내";
  send.callback = "0212345678";
  send.yes = true;
  send.progress = "never";
  EXPECT_EQ(RunSendCommand(send, target_, out_, err_), kExitRefused);

  EXPECT_EQ(Jobs({}), kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("closed"), std::string::npos) << out_.str();
  JobsOptions show;
  show.action = "show";
  show.job = 1;
  EXPECT_EQ(Jobs(show), kExitOk) << err_.str();
  // The gateway confirmed the first 51; how many more left before it hung up is in doubt.
  std::smatch counts;
  const std::string shown = out_.str();
  ASSERT_TRUE(std::regex_search(
      shown, counts,
      std::regex("120 recipients: 51 acknowledged, (\\d+) in doubt, (\\d+) not sent")))
      << shown;
  const int not_sent = std::stoi(counts[2]);
  EXPECT_NE(shown.find("qx jobs resend 1 sends the " + std::to_string(not_sent) + " not sent"),
            std::string::npos);

  const std::filesystem::path clean_dir = dir_.path() / "clean";
  std::filesystem::create_directories(clean_dir);
  testing::GateSim clean{clean_dir};
  ASSERT_NO_FATAL_FAILURE(StartEngine(clean));
  JobsOptions resend = show;
  resend.action = "resend";
  resend.progress = "never";
  EXPECT_EQ(Jobs(resend), kExitOk) << err_.str() << out_.str();
  const std::string n = std::to_string(not_sent);
  EXPECT_NE(out_.str().find(n + " recipients: " + n + " acknowledged"), std::string::npos)
      << out_.str();
  const std::vector<testing::GateJob> resent = clean.WaitForJobs(1);
  ASSERT_EQ(resent.size(), 1u);
  ASSERT_EQ(resent[0].messages.size(), static_cast<size_t>(not_sent));
  EXPECT_EQ(resent[0].messages.front().recipient, Number(120 - not_sent));
  EXPECT_EQ(Jobs(resend), kExitRefused) << "the rest goes once";
  EXPECT_NE(err_.str().find("was sent as job #2"), std::string::npos) << err_.str();

  JobsOptions export_csv = show;
  export_csv.action = "export";
  export_csv.csv = (dir_.path() / "job1.csv").string();
  EXPECT_EQ(Jobs(export_csv), kExitOk) << err_.str();
  std::ifstream csv(export_csv.csv);
  int lines = 0;
  for (std::string line; std::getline(csv, line);) ++lines;
  EXPECT_EQ(lines, 121);
  JobsOptions export_xlsx = export_csv;
  export_xlsx.csv.clear();
  export_xlsx.xlsx = (dir_.path() / "job1.xlsx").string();
  EXPECT_EQ(Jobs(export_xlsx), kExitOk) << err_.str();
  EXPECT_GT(std::filesystem::file_size(export_xlsx.xlsx), 0u);
  // A file that is there is replaced only with --force.
  EXPECT_EQ(Jobs(export_csv), kExitRefused);
  EXPECT_NE(err_.str().find("exists"), std::string::npos) << err_.str();
  export_csv.force = true;
  EXPECT_EQ(Jobs(export_csv), kExitOk) << err_.str();
  // A name CP949 cannot hold keeps its name.
  export_csv.csv = (dir_.path() / "résumé😀.csv").string();
  EXPECT_EQ(Jobs(export_csv), kExitOk) << err_.str();
  EXPECT_TRUE(std::filesystem::exists(export_csv.csv));

  JobsOptions forget;
  forget.action = "forget";
  forget.before = "2000-01-01";
  EXPECT_EQ(Jobs(forget), kExitOk);
  EXPECT_NE(out_.str().find("0 jobs"), std::string::npos) << out_.str();
  forget.before = "2999-12-31";
  EXPECT_EQ(Jobs(forget), kExitOk);
  EXPECT_NE(out_.str().find("2 jobs"), std::string::npos) << out_.str();
  forget.before = "2026-02-30";
  EXPECT_EQ(Jobs(forget), kExitUsage);
  EXPECT_EQ(Jobs({}), kExitOk);
  EXPECT_NE(out_.str().find("(none)"), std::string::npos) << out_.str();
}

// A job whose sent report has not reached the web service stays through forget, and qx says so.
TEST_F(QxJobsTest, ForgetKeepsAJobWhoseReportIsNotPostedAndSaysSo) {
  const std::filesystem::path gate_dir = dir_.path() / "gate";
  std::filesystem::create_directories(gate_dir);
  testing::GateSim gate{gate_dir};
  ASSERT_NO_FATAL_FAILURE(StartEngine(gate));
  {
    // A direct SMS as the UI program sends it: the send check, then the send, whose report's
    // post finds the connection closed.
    LinkClient client;
    std::string error;
    ASSERT_TRUE(client.Connect("127.0.0.1", target_.port, &error)) << error;
    RawMessage reply;
    ASSERT_TRUE(client.SendMessage("DSEND", "4<QX>2<QX>1<QX>", &error));
    ASSERT_TRUE(client.ReadMessage(&reply, 20000, &error)) << error;
    ASSERT_EQ(web_.Control("/_sim/fail?count=1&mode=close"), "OK");
    ASSERT_TRUE(client.SendMessage(
        "DSEND", "1<QX>2<QX>T<QX><QX>" + Number(0) + "," + Number(1) + "<QX>0212345678<QX>hi",
        &error));
    ASSERT_TRUE(client.ReadMessage(&reply, 20000, &error)) << error;
  }
  JobsOptions forget;
  forget.action = "forget";
  forget.before = "2999-12-31";
  EXPECT_EQ(Jobs(forget), kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("0 jobs"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("1 jobs kept: their sent reports have not reached the web service"),
            std::string::npos)
      << out_.str();
  // The job and its report are there to be posted (once the service answers it, forget takes it).
  EXPECT_EQ(Jobs({}), kExitOk);
  EXPECT_NE(out_.str().find("pending"), std::string::npos) << out_.str();
}

}  // namespace
}  // namespace parley
