// Form values through the engine binary, against the web service and gateway simulators: a
// password, a reservation date, a title, a call-back number and a gateway job id holding the
// form's own syntax reach the web service in their own fields, so they neither refuse a good login
// nor rewrite the send check or the sent report.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commands/send_engine_fixture.h"
#include "testing/gate_sim_process.h"
#include "testing/engine_process.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

// The body of the last request the web service received for `page`, or "(none)".
std::string LastBody(const testing::WebSim& web, const std::string& page) {
  std::string last = "(none)";
  for (const std::string& r : web.Requests()) {
    if (r.starts_with("POST " + page + " ")) last = r.substr(r.find("\r\n\r\n") + 4);
  }
  return last;
}

TEST(FormEngineTest, ValuesWithFormSyntaxStayInTheirFields) {
  testing::TempDir dir;
  testing::WebSim web(dir.path(), {"--user", "pwuser:a&b+c%d=e:1000"});
  // A job id with the report's own keys in it.
  const std::string forged_job_id = "X&totcnt=0&type=MMS&jobid=Y";
  testing::GateSim gate(dir.path(), {"--job-id", forged_job_id});
  testing::SendEngine engine;
  ASSERT_NO_FATAL_FAILURE(engine.Start(dir.path(), dir.path(), web, gate));

  // A password with "&", "+", "%" and "=" logs in.
  EXPECT_EQ(engine.Exchange("LOGIN", "pwuser<QX>a&b+c%d=e").substr(0, 6), "2<QX>1");
  EXPECT_EQ(LastBody(web, "/QX/loginok.asp"),
            "loginid=pwuser&loginpass=a%26b%2Bc%25d%3De&lmode=QX&Ver=1.0.0.0");

  // The send check's reservation date comes back as the service read it (the fifth column).
  const std::string forged = "&totcnt=0";
  const std::string check = engine.Exchange("DSEND", "4<QX>3<QX>1<QX>" + forged);
  EXPECT_TRUE(check.starts_with("QXSENDABLECHECK<QX>1<QX>SMS<QX>3<QX>")) << check;
  EXPECT_NE(check.find("<QX>" + forged + "\n"), std::string::npos) << check;
  EXPECT_EQ(LastBody(web, "/QX/sendablecheck.asp"), "type=SMS&totcnt=3&reserdate=%26totcnt%3D0");

  // The sent report keeps its eight fields: the list shows the job as sent.
  const std::string numbers = "01000000000,01000000001,01000000002";
  const std::string sent = engine.Exchange(
      "DSEND", "1<QX>3<QX>T&type=MMS<QX>" + forged + "<QX>" + numbers + "<QX>0212345678<QX>hi");
  ASSERT_FALSE(sent.starts_with("<QX>")) << "nothing was sent: " << sent;
  const std::vector<testing::GateJob> jobs = gate.WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].job_id, forged_job_id);
  EXPECT_EQ(LastBody(web, "/QX/sended.asp"),
            "jobid=X%26totcnt%3D0%26type%3DMMS%26jobid%3DY"
            "&type=SMS&totcnt=3&title=T%26type%3DMMS&msg=hi&resflag=2"
            "&reserdate=%26totcnt%3D0&fromnumber=0212345678");
  // Rows: number, time, kind, call-back number, title, result, count.
  const std::string list = engine.Exchange("SENDL", "2<QX><QX><QX><QX><QX>1<QX>1");
  EXPECT_TRUE(list.starts_with("2<DATA>")) << list;
  EXPECT_NE(list.find("<QX>SMS<QX>0212345678<QX>T&type=MMS<QX>"), std::string::npos) << list;
  EXPECT_TRUE(list.ends_with("<QX>3<END>")) << list;
}

}  // namespace
}  // namespace parley
