// DSEND through the engine binary, against the web service and gateway simulators: the send
// check and the permission it grants, the SMS and MMS jobs as the gateway receives them, the sent
// report as the web service receives it, and the recent-numbers list.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commands/recent_numbers.h"
#include "commands/send_engine_fixture.h"
#include "db/test_util.h"
#include "testing/gate_sim_process.h"
#include "link/message.h"
#include "client/link_client.h"
#include "send/direct_send.h"
#include "send/picture_file.h"
#include "send/send_refusals.h"
#include "send/skn_package.h"
#include "testing/engine_process.h"
#include "text/cp949.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

// A list of n numbers 01000000000, 01000000001, ...; with hyphens when asked.
std::string Numbers(int n, bool hyphens = false) {
  std::string list;
  for (int i = 0; i < n; ++i) {
    const std::string digits = std::to_string(100000000 + i).substr(1);
    if (i > 0) list += ',';
    list += hyphens ? "010-" + digits.substr(0, 4) + "-" + digits.substr(4) : "010" + digits;
  }
  return list;
}

std::string Number(int i) { return "010" + std::to_string(100000000 + i).substr(1); }

class DSendEngineTest : public ::testing::Test {
 protected:
  DSendEngineTest() : web_(dir_.path()) {}

  // Starts the gateway simulator with its fault options, then the engine, and logs in.
  void Start(std::vector<std::string> gate_args = {}) {
    // A folder per start: the simulators tell their port in their log.
    const std::filesystem::path gate_dir = dir_.path() / ("gate" + std::to_string(++starts_));
    std::filesystem::create_directories(gate_dir);
    gate_ = std::make_unique<testing::GateSim>(gate_dir, std::move(gate_args));
    ASSERT_NO_FATAL_FAILURE(engine_.Start(dir_.path(), gate_dir, web_, *gate_));
  }

  std::string Exchange(std::string_view code, std::string_view body) {
    return engine_.Exchange(code, body);
  }

  // Runs the send check for `count` messages of kind `kind`; returns the check text's first byte.
  char Check(int count, const char* kind = "1") {
    const std::string reply =
        Exchange("DSEND", std::string("4<QX>") + std::to_string(count) + "<QX>" + kind + "<QX>");
    const std::string tag = "QXSENDABLECHECK<QX>";
    EXPECT_EQ(reply.substr(0, tag.size()), tag) << reply;
    return reply.size() > tag.size() ? reply[tag.size()] : '\0';
  }

  // The DSEND reply's text in front of the user information string.
  std::string Send(const std::string& body) {
    const std::string reply = Exchange("DSEND", body);
    return reply.substr(0, reply.find("<QX>"));
  }

  // The body of the last sent report the web service received.
  std::string LastReport() {
    std::string last = "(none)";
    for (const std::string& r : web_.Requests()) {
      if (r.starts_with("POST /QX/sended.asp ")) last = r.substr(r.find("\r\n\r\n") + 4);
    }
    return last;
  }

  size_t Reports() {
    size_t n = 0;
    for (const std::string& r : web_.Requests()) n += r.starts_with("POST /QX/sended.asp ");
    return n;
  }

  testing::TempDir dir_;
  testing::WebSim web_;
  std::unique_ptr<testing::GateSim> gate_;
  testing::SendEngine engine_;
  int starts_ = 0;
};

TEST_F(DSendEngineTest, SmsJobsReachTheGatewayAndAreReported) {
  // A held acknowledgement shows whether the engine waited for it: sent_at is then due + 1.
  Start({"--ack-delay-ms", "150"});
  struct Case {
    int count;
    std::string recipients;
    std::string title;     // as sent
    std::string callback;  // as sent
    std::string reserve;   // as sent
    std::string text;      // as sent, escaped
    std::string gate_title;
    std::string gate_text;
    std::vector<int64_t> waits;  // acknowledgements awaited
    std::string report;          // after the job id
  };
  const std::string untitled(kSknDefaultSubject);
  RecentNumberList recent;
  const Case cases[] = {
      {120,
       Numbers(120, true),
       "T",
       "02-123-4567",
       "",
       "50% & more",
       "T",
       "50% & more",
       {50, 100},
       "&type=SMS&totcnt=120&title=T&msg=50%25 %26 more&resflag=1&reserdate=&fromnumber=021234567"},
      {3,
       Numbers(3),
       "",
       "0212345678",
       "202612241800",
       "a&lt;b&gt;c",
       untitled,
       "a<b>c",
       {},
       "&type=SMS&totcnt=3&title=" + untitled +
           "&msg=a<b>c&resflag=2&reserdate=202612241800&fromnumber=0212345678"},
      // No recipient: the job is opened all the same; the callback loses its hyphens.
      {0,
       "",
       "T",
       "02-1234-5678",
       "",
       "x",
       "T",
       "",
       {},
       "&type=SMS&totcnt=0&title=T&msg=x&resflag=1&reserdate=&fromnumber=0212345678"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Check(std::max(c.count, 1)), '1');
    const size_t jobs_before = gate_->Jobs().size();
    EXPECT_EQ(Send("1<QX>" + std::to_string(c.count) + "<QX>" + c.title + "<QX>" + c.reserve +
                   "<QX>" + c.recipients + "<QX>" + c.callback + "<QX>" + c.text),
              SentText(c.count));
    const std::vector<testing::GateJob> jobs = gate_->WaitForJobs(jobs_before + 1);
    ASSERT_EQ(jobs.size(), jobs_before + 1);
    const testing::GateJob& job = jobs.back();
    EXPECT_EQ(job.header.login_id, "qxuser");
    EXPECT_EQ(job.header.password, "qxpass");
    EXPECT_EQ(job.header.title, c.gate_title);
    EXPECT_EQ(job.header.type_code, "SMS");
    EXPECT_EQ(job.header.count, c.count);
    EXPECT_EQ(job.header.interval, 50);
    EXPECT_EQ(job.header.reserve_date, c.reserve);
    ASSERT_EQ(job.messages.size(), static_cast<size_t>(c.count));
    for (int i = 0; i < c.count; ++i) {
      const auto& message = job.messages[static_cast<size_t>(i)];
      EXPECT_EQ(message.recipient, Number(i));
      EXPECT_EQ(message.callback, c.callback == "02-123-4567" ? "021234567" : c.callback);
      EXPECT_EQ(message.text, c.gate_text);
    }
    std::vector<int64_t> waited;
    for (const testing::GateAck& a : job.acks) {
      if (a.sent_at == a.due + 1) waited.push_back(a.due);
    }
    EXPECT_EQ(waited, c.waits) << c.count;
    EXPECT_EQ(LastReport(), "jobid=" + job.job_id + c.report);

    // The last five recipients of each job go to the list, in sending order.
    for (int i = std::max(0, c.count - 5); i < c.count; ++i) recent.Add(Number(i));
    EXPECT_EQ(Exchange("ADDRB", "4"), recent.Text());
  }
}

TEST_F(DSendEngineTest, FailedJobsAnswerTheFailureTextAndReportNothing) {
  struct Case {
    std::vector<std::string> gate_args;
    std::string body;
    size_t gate_jobs;  // jobs the gateway saw
    int64_t received;  // messages it received in it
  };
  const std::string text99(99, 'x');
  const Case cases[] = {
      {{"--refuse"}, "1<QX>3<QX>T<QX><QX>" + Numbers(3) + "<QX>0212345678<QX>hi", 1, 0},
      {{"--nak-at", "50"}, "1<QX>120<QX>T<QX><QX>" + Numbers(120) + "<QX>0212345678<QX>hi", 1, 51},
      {{"--silent"}, "1<QX>3<QX>T<QX><QX>" + Numbers(3) + "<QX>0212345678<QX>hi", 1, 0},
      // Refused before the gateway is contacted: more recipients counted than listed, an empty
      // recipient, a text one byte over its packet field.
      {{}, "1<QX>4<QX>T<QX><QX>" + Numbers(3) + "<QX>0212345678<QX>hi", 0, 0},
      {{}, "1<QX>3<QX>T<QX><QX>01011112222,,01011113333<QX>0212345678<QX>hi", 0, 0},
      {{}, "1<QX>1<QX>T<QX><QX>01011112222<QX>0212345678<QX>" + text99 + "y", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 40));
    gate_.reset();
    engine_.Stop();
    Start(c.gate_args);
    ASSERT_EQ(Check(120), '1');
    EXPECT_EQ(Send(c.body), kSendFailedText);
    EXPECT_EQ(LastReport(), "");
    gate_->WaitForJobs(c.gate_jobs, 5000);
    const std::string log = gate_->Stop();
    ASSERT_EQ(gate_->Jobs().size(), c.gate_jobs) << log << engine_.process().Log();
    if (c.gate_jobs > 0) {
      EXPECT_EQ(gate_->Jobs().back().received, c.received);
    }
  }
}

TEST_F(DSendEngineTest, MmsJobsSendTheirPackageToEveryRecipient) {
  Start();
  const std::filesystem::path images = dir_.path() / "TempIMG";
  std::filesystem::create_directories(images);
  std::ofstream(images / "a.jpg", std::ios::binary) << std::string(3000, 'A');
  std::ofstream(images / "b.jpg", std::ios::binary) << std::string(500, 'B');
  // Links in TempIMG: to a file outside it, to a picture inside it, and the package file itself.
  const std::filesystem::path secret = dir_.path() / "secret.txt";
  std::ofstream(secret, std::ios::binary) << "root:x:0:0";
  std::filesystem::create_symlink(secret, images / "link.jpg");
  std::filesystem::create_symlink("a.jpg", images / "inside.jpg");
  std::filesystem::create_symlink(secret, images / "qx.SKN");
  struct Case {
    std::string mode;
    std::string pictures;  // field 7
    std::string type_code;
    std::vector<std::string> items;  // file names after the text
  };
  const Case cases[] = {
      {"2", "", "TXT", {}},
      {"3", "<IMG>a.jpg,b.jpg", "IMT", {"a.jpg", "b.jpg"}},
      {"3", "<IMG>a.jpg,missing.jpg,b.jpg", "IMT", {"a.jpg", "b.jpg"}},
      {"3", "<IMG>../TempIMG/a.jpg,b.jpg", "IMT", {"b.jpg"}},
      // A link is never followed, whatever it points at.
      {"3", "<IMG>link.jpg,b.jpg", "IMT", {"b.jpg"}},
      {"3", "<IMG>inside.jpg,b.jpg", "IMT", {"b.jpg"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pictures);
    ASSERT_EQ(Check(60, "3"), '1');
    const size_t jobs_before = gate_->Jobs().size();
    EXPECT_EQ(
        Send(c.mode + "<QX>60<QX><QX><QX>" + Numbers(60) + "<QX>02-1234-5678<QX>long &lt;text&gt;" +
             (c.pictures.empty() ? "" : "<QX>" + c.pictures)),
        SentText(60));
    const std::vector<testing::GateJob> jobs = gate_->WaitForJobs(jobs_before + 1);
    ASSERT_EQ(jobs.size(), jobs_before + 1);
    const testing::GateJob& job = jobs.back();
    EXPECT_EQ(job.header.type_code, c.type_code);
    EXPECT_EQ(job.header.title, std::string(kMmsDefaultTitle));
    ASSERT_EQ(job.messages.size(), 60u);
    ASSERT_EQ(job.packages.size(), 1u);
    for (const testing::GateMessage& m : job.messages) {
      EXPECT_EQ(m.checksum, job.packages[0].checksum);
      EXPECT_EQ(m.callback, "0212345678");
    }
    const std::optional<SknPackage> package = ParseSknPackage(job.packages[0].bytes);
    ASSERT_TRUE(package.has_value());
    EXPECT_EQ(package->subject, std::string(kMmsDefaultTitle));
    ASSERT_EQ(package->items.size(), c.items.size() + 1);
    EXPECT_EQ(package->items[0].data, "long <text>");
    for (size_t k = 0; k < c.items.size(); ++k) {
      EXPECT_EQ(package->items[k + 1].file_name, c.items[k]);
      EXPECT_EQ(package->items[k + 1].data.size(), c.items[k] == "a.jpg" ? 3000u : 500u);
    }
    std::ifstream file(images / "qx.SKN", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), job.packages[0].bytes);
    EXPECT_EQ(LastReport(), "jobid=" + job.job_id +
                                "&type=SMS&totcnt=60&title=" + std::string(kMmsDefaultTitle) +
                                "&msg=long <text>&resflag=1&reserdate=&fromnumber=0212345678");
  }
  EXPECT_EQ(testing::ReadFileBytes(secret), "root:x:0:0");
}

// Requests that would send something other than what the user wrote are refused before the
// gateway is contacted, each with its reason, and report nothing.
TEST_F(DSendEngineTest, RequestsThatWouldBeCutAreRefusedWithTheirReason) {
  Start();
  const std::filesystem::path images = dir_.path() / "TempIMG";
  std::filesystem::create_directories(images);
  std::ofstream(images / "a.jpg", std::ios::binary) << std::string(100, 'A');
  std::ofstream(images / "big.jpg", std::ios::binary) << "x";
  std::filesystem::resize_file(images / "big.jpg", kMaxPictureBytes + 1);
  std::ofstream(dir_.path() / "secret.txt", std::ios::binary) << "root:x:0:0";
  std::filesystem::create_symlink(dir_.path() / "secret.txt", images / "link.jpg");
  const std::string nul(1, '\0');
  const auto sms = [](const std::string& recipients, const std::string& callback,
                      const std::string& text) {
    return "1<QX>1<QX>T<QX><QX>" + recipients + "<QX>" + callback + "<QX>" + text;
  };
  const auto mms = [](const std::string& pictures) {
    return "3<QX>1<QX>T<QX><QX>01011112222<QX>0212345678<QX>long<QX><IMG>" + pictures;
  };
  const struct {
    std::string body;
    SendRefusal refusal;
  } cases[] = {
      {sms("01011112222", "0212345678", "before`after"), SendRefusal::kRawBacktick},
      {sms("01011112222", "0212345678", "a`<QX>b"), SendRefusal::kRawBacktick},
      {sms("010`1112222", "0212345678", "hi"), SendRefusal::kRawBacktick},
      {"2<QX>1<QX>T<QX><QX>01011112222<QX>0212345678<QX>long`text", SendRefusal::kRawBacktick},
      {sms("0101111" + nul + "2222", "0212345678", "hi"), SendRefusal::kBadRecipient},
      {sms(nul + "01011112222", "0212345678", "hi"), SendRefusal::kBadRecipient},
      {sms("0101111\n2222", "0212345678", "hi"), SendRefusal::kBadRecipient},
      {sms("01011112222\r", "0212345678", "hi"), SendRefusal::kBadRecipient},
      // A callback nobody could answer: empty, broken, or no phone number at all.
      {sms("01011112222", "02" + nul + "1", "hi"), SendRefusal::kInvalidCallback},
      {sms("01011112222", "021\n", "hi"), SendRefusal::kInvalidCallback},
      {sms("01011112222", "", "hi"), SendRefusal::kNoCallback},
      {sms("01011112222", "  ", "hi"), SendRefusal::kNoCallback},
      {sms("01011112222", "abc", "hi"), SendRefusal::kInvalidCallback},
      {sms("01011112222", "12345", "hi"), SendRefusal::kInvalidCallback},
      {mms("missing.jpg"), SendRefusal::kPicturesMissing},
      {mms("missing.jpg,link.jpg,../TempIMG/a.jpg"), SendRefusal::kPicturesMissing},
      {mms("big.jpg"), SendRefusal::kPictureTooLarge},
      {mms("a.jpg,big.jpg"), SendRefusal::kPictureTooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    ASSERT_EQ(Check(1, "3"), '1');
    EXPECT_EQ(Send(c.body), RefusalText(c.refusal));
    EXPECT_EQ(LastReport(), "");
  }
  // The texts are the failure text's first line and the reason, in CP949.
  EXPECT_EQ(RefusalText(SendRefusal::kPicturesMissing),
            Utf8ToAnsi("메시지 전송에 실패하였습니다\n첨부한 이미지를 찾을 수 없습니다"));
  EXPECT_EQ(RefusalText(SendRefusal::kPictureTooLarge),
            Utf8ToAnsi("메시지 전송에 실패하였습니다\n이미지 파일이 너무 큽니다 (10MB까지)"));
  // The same requests without the fault go out.
  EXPECT_EQ(Send(sms("01011112222", "0212345678", "before&gacct;after")), SentText(1));
  EXPECT_EQ(Send(mms("missing.jpg,a.jpg")), SentText(1));
  EXPECT_EQ(gate_->WaitForJobs(2).size(), 2u);
  gate_->Stop();
  ASSERT_EQ(gate_->Jobs().size(), 2u);
  EXPECT_EQ(gate_->Jobs()[0].messages.at(0).text, "before`after");
}

TEST_F(DSendEngineTest, OnlyAPassedCheckLetsSendsThrough) {
  Start();
  const std::string sms = "1<QX>2<QX>T<QX><QX>" + Numbers(2) + "<QX>0212345678<QX>hi";
  // Before any check, nothing goes out; the empty report is posted all the same.
  EXPECT_EQ(Send(sms), "");
  EXPECT_EQ(Reports(), 1u);
  EXPECT_EQ(LastReport(), "");
  // Modes other than 1 to 4 send nothing either.
  ASSERT_EQ(Check(2), '1');
  EXPECT_EQ(Send("7<QX>2<QX>T<QX><QX>" + Numbers(2) + "<QX>0212345678<QX>hi"), "");
  EXPECT_EQ(Send(sms), SentText(2));
  EXPECT_EQ(Send(sms), SentText(2));  // a send does not take the permission back
  // A refused check (more than the balance) blocks, although an earlier one allowed.
  ASSERT_EQ(Check(100000), '0');
  EXPECT_EQ(Send(sms), "");
  EXPECT_EQ(LastReport(), "");
  EXPECT_EQ(gate_->WaitForJobs(2).size(), 2u);
  gate_->Stop();
  EXPECT_EQ(gate_->Jobs().size(), 2u);
}

// A logout or a refused login takes the permission back: nothing goes out under the refused id
// and password, or after the user left, until a new check passes.
TEST_F(DSendEngineTest, LogoutAndARefusedLoginTakeThePermissionBack) {
  Start();
  const std::string sms = "1<QX>2<QX>T<QX><QX>" + Numbers(2) + "<QX>0212345678<QX>hi";
  const std::string esend = "1<QX>2<QX>T<QX><QX>Sheet1$<QX>phone<QX>0212345678<QX>hi<QX>11";
  const auto esend_sent = [this, &esend] {
    return Exchange("ESEND", esend) != Exchange("DSEND", "7");  // more than the user information
  };
  ASSERT_EQ(Check(2), '1');
  EXPECT_EQ(Exchange("ENDQX", "0"), "");
  EXPECT_EQ(Send(sms), "");
  EXPECT_FALSE(esend_sent());

  ASSERT_EQ(Exchange("LOGIN", "qxuser<QX>qxpass").substr(0, 6), "2<QX>1");
  EXPECT_EQ(Send(sms), "");  // an accepted login grants nothing by itself
  ASSERT_EQ(Check(2), '1');
  EXPECT_EQ(Send(sms), SentText(2));
  EXPECT_EQ(Exchange("LOGIN", "qxuser<QX>wrong").substr(0, 6), "2<QX>0");
  EXPECT_EQ(Send(sms), "");
  EXPECT_FALSE(esend_sent());

  EXPECT_EQ(gate_->WaitForJobs(1).size(), 1u);
  gate_->Stop();
  ASSERT_EQ(gate_->Jobs().size(), 1u);
  EXPECT_EQ(gate_->Jobs()[0].header.password, "qxpass");
}

}  // namespace
}  // namespace parley
