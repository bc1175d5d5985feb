// Faults through the engine binary, against the web service and gateway simulators on loopback:
// a gateway that refuses, stays silent, hangs up, garbles or rejects; a web service that stalls,
// answers garbage or answers its page under an error status; an unwritable TempIMG; an address
// book that is read-only, corrupt or an old Access file; a workbook that vanishes before the
// send; a UI program that hangs up mid-send.
// After each the engine still runs, answers the next command, reports no success for messages
// that were not submitted, posts no sent report for a failed job, keeps the stored addresses and
// recent numbers, and says what went wrong in one warning or error line of its log.
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "db/address_book.h"
#include "db/test_util.h"
#include "testing/gate_sim_process.h"
#include "link/message.h"
#include "client/link_client.h"
#include "send/direct_send.h"
#include "send/skn_package.h"
#include "testing/engine_process.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

namespace fs = std::filesystem;

std::string Number(int i) { return "010" + std::to_string(100000000 + i).substr(1); }

std::string Numbers(int n) {
  std::string list;
  for (int i = 0; i < n; ++i) list += (i > 0 ? "," : "") + Number(i);
  return list;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Sets or clears the immutable flag of a file or folder. Root ignores permission bits, so that
// flag is what makes a path read-only for a test run as root.
bool SetImmutable(const fs::path& path, bool on) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  close(fd);
  return ok;
}

// Makes `path` read-only for this process (permission bits, and the immutable flag when the
// file system and the process allow it); false when writing is still possible.
bool MakeReadOnly(const fs::path& path) {
  std::error_code ec;
  const bool folder = fs::is_directory(path);
  fs::permissions(
      path, folder ? fs::perms::owner_read | fs::perms::owner_exec : fs::perms::owner_read, ec);
  if (geteuid() == 0) SetImmutable(path, true);
  const fs::path probe = folder ? path / ".probe" : path;
  const int fd = open(probe.c_str(), folder ? O_WRONLY | O_CREAT : O_WRONLY, 0600);
  if (fd < 0) return true;
  close(fd);
  if (folder) fs::remove(probe, ec);
  return false;
}

void MakeWritable(const fs::path& path) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return;
  SetImmutable(path, false);
  fs::permissions(path, fs::perms::owner_all, ec);
}

// Groups and addresses of the prepared address book.
constexpr int64_t kFriendsKey = 7;
const std::vector<std::string> kFriends = {"01155550001", "01155550002", "01155550003"};
// The user's stored recent numbers, most recent first once loaded.
constexpr char kStoredRecent[] = "01177770005,01177770004,01177770003,01177770002,01177770001,";

class FaultEngineTest : public ::testing::Test {
 protected:
  FaultEngineTest() : web_(dir_.path()) {}

  ~FaultEngineTest() override {
    Stop();
    MakeWritable(book());
    MakeWritable(dir_.path() / "TempIMG");
  }

  fs::path book() const { return dir_.path() / AddressBook::kFileName; }

  // Writes an address book with one group of three addresses and five recent numbers of the
  // simulator's user.
  void PrepareBook() {
    AddressBook prepared(book());
    ASSERT_TRUE(prepared.OpenAddressBook());
    CExcelDatabase& db = prepared.database();
    ASSERT_TRUE(db.InsertRow("GROUPADDR_TB", "GPNAME, LEV, ADDRNUM, ORGSEQ", "?, ?, ?, ?",
                             {std::string("Friends"), int64_t{1}, int64_t{3}, kFriendsKey}));
    for (const std::string& phone : kFriends) {
      ASSERT_TRUE(db.InsertRow("ADDRESS_TB", "ADDRNAME, ADDRPHONE, GPSEQ", "?, ?, ?",
                               {std::string("n"), phone, kFriendsKey}));
    }
    prepared.EnsureUserTable("qxuser");
    prepared.SaveRecentNumbers(5, "qxuser", kStoredRecent);
  }

  // Every stored row of the address book, as text.
  std::vector<std::vector<std::string>> BookRows() {
    std::vector<std::vector<std::string>> rows;
    for (const char* sql : {"SELECT * FROM GROUPADDR_TB", "SELECT * FROM ADDRESS_TB",
                            "SELECT ID, RECVPHONE FROM \"USER_qxuser\" ORDER BY ID"}) {
      for (auto& row : testing::RawQuery(book(), sql)) rows.push_back(std::move(row));
    }
    return rows;
  }

  // Starts the gateway simulator with `gate_args`, then the engine (gateway and web time-outs of
  // one second) against both simulators, and logs in.
  void Start(std::vector<std::string> gate_args = {}) {
    Stop();
    const fs::path gate_dir = dir_.path() / ("gate" + std::to_string(++runs_));
    fs::create_directories(gate_dir);
    gate_ = std::make_unique<testing::GateSim>(gate_dir, std::move(gate_args));
    link_port_ = testing::FreePort();
    // The engine's current folder (where its address book is) is the folder of its log.
    engine_ = std::make_unique<testing::ChildProcess>(
        testing::EngineBinary(),
        std::vector<std::string>{"--link-port", std::to_string(link_port_), "--ui-program", "none",
                                 "--home", dir_.path().string(), "--web-base", web_.base_url(),
                                 "--web-port", std::to_string(web_.port()), "--gateway",
                                 "127.0.0.1:" + std::to_string(gate_->port()), "--gateway-timeout",
                                 "1", "--web-timeout", "1", "--log-level", "debug"},
        dir_.path() / ("engine" + std::to_string(runs_) + ".log"));
    ASSERT_TRUE(engine_->WaitForLog("listening on", 10000)) << engine_->Log();
    ASSERT_NO_FATAL_FAILURE(Connect());
    ASSERT_EQ(Ask("LOGIN", "qxuser<QX>qxpass").substr(0, 6), "2<QX>1") << engine_->Log();
    Mark();
  }

  void Connect() {
    client_ = std::make_unique<LinkClient>();
    std::string error;
    ASSERT_TRUE(client_->Connect("127.0.0.1", link_port_, &error)) << error;
  }

  void Stop() {
    client_.reset();
    if (engine_) {
      engine_->Signal(SIGTERM);
      int status = 0;
      EXPECT_TRUE(engine_->Wait(5000, &status));
      EXPECT_EQ(status, 0) << engine_->Log();
    }
    engine_.reset();
  }

  // Sends one message and returns the reply's body.
  std::string Ask(std::string_view code, std::string_view body) {
    std::string error;
    RawMessage m;
    EXPECT_TRUE(client_->SendMessage(code, body, &error)) << error;
    EXPECT_TRUE(client_->ReadMessage(&m, 15000, &error)) << code << ": " << error;
    return m.body;
  }

  // The reply's text in front of the user information string.
  std::string AskText(std::string_view code, std::string_view body) {
    const std::string reply = Ask(code, body);
    return reply.substr(0, reply.find("<QX>"));
  }

  // Remembers where the log and the web requests stand, for the checks of one case.
  void Mark() {
    log_mark_ = engine_->Log().size();
    requests_mark_ = web_.Requests().size();
    jobs_mark_ = gate_->Jobs().size();
  }

  // Sent reports with a body posted since the mark (a send refused for lack of permission posts
  // an empty one).
  size_t NewReports() {
    const std::vector<std::string> requests = web_.Requests();
    size_t n = 0;
    for (size_t i = requests_mark_; i < requests.size(); ++i) {
      n += requests[i].starts_with("POST /QX/sended.asp ") && !requests[i].ends_with("\r\n\r\n");
    }
    return n;
  }

  // True when a warning or error line logged since the mark contains every part of `cause`.
  bool LoggedProblem(std::initializer_list<std::string_view> cause) {
    const std::string log = engine_->Log().substr(log_mark_);
    size_t start = 0;
    while (start < log.size()) {
      size_t end = log.find('\n', start);
      if (end == std::string::npos) end = log.size();
      const std::string_view line(log.data() + start, end - start);
      bool found = line.find(" warning ") != std::string_view::npos ||
                   line.find(" error ") != std::string_view::npos;
      for (std::string_view part : cause)
        found = found && line.find(part) != std::string_view::npos;
      if (found) return true;
      start = end + 1;
    }
    return false;
  }

  // The checks after every fault: the engine runs, answers INIT, posted no sent report, logged
  // `cause` as a warning or error, and still holds the recent numbers it had.
  void ExpectSurvived(std::initializer_list<std::string_view> cause, std::string_view recent) {
    EXPECT_TRUE(engine_->Running());
    EXPECT_EQ(Ask("INIT", ""), "");
    EXPECT_EQ(NewReports(), 0u);
    EXPECT_TRUE(LoggedProblem(cause)) << "no warning naming \"" << *cause.begin() << "\" in\n"
                                      << engine_->Log().substr(log_mark_);
    EXPECT_EQ(Ask("ADDRB", "4"), recent);
  }

  testing::TempDir dir_;
  testing::WebSim web_;
  std::unique_ptr<testing::GateSim> gate_;
  std::unique_ptr<testing::ChildProcess> engine_;
  std::unique_ptr<LinkClient> client_;
  uint16_t link_port_ = 0;
  int runs_ = 0;
  size_t log_mark_ = 0;
  size_t requests_mark_ = 0;
  size_t jobs_mark_ = 0;
};

// The recent-numbers list loaded from the prepared book.
const std::string kLoadedRecent =
    "4<QX>01177770005,01177770004,01177770003,01177770002,01177770001,";

TEST_F(FaultEngineTest, GatewayFaultsFailEverySendKind) {
  ASSERT_NO_FATAL_FAILURE(PrepareBook());
  fs::create_directories(dir_.path() / "TempIMG");
  WriteFile(dir_.path() / "TempIMG" / "a.jpg", std::string(2000, 'A'));
  std::string rows = "phone\n";
  for (int i = 0; i < 120; ++i) rows += Number(i) + "\n";
  const fs::path workbook = dir_.path() / "fault.csv";
  WriteFile(workbook, rows);
  const std::vector<std::vector<std::string>> stored = BookRows();

  struct Fault {
    std::vector<std::string> gate_args;
    const char* cause;   // in the warning of a direct or Excel send, and of a group send
    bool group_goes_on;  // a group send does not stop for it (the gateway gets every message)
  };
  const Fault faults[] = {
      {{"--refuse"}, "refused", false},
      {{"--silent"}, "did not answer in time", false},
      {{"--close-after", "0"}, "closed", false},
      {{"--close-after", "60"}, "closed", false},
      // Past the last acknowledgement the engine awaits.
      {{"--close-after", "110"}, "closed", false},
      {{"--bad-type"}, "unknown type", false},
      {{"--nak-at", "50"}, "negative acknowledgement", true},
  };
  // 120 messages each, so that the engine awaits acknowledgements after messages 51 and 101.
  struct Send {
    const char* name;
    std::string check_code;  // DSEND or ESEND send check before the send; empty for none
    std::string check;
    std::string code;
    std::string body;
  };
  const Send sends[] = {
      {"DSEND SMS", "DSEND", "4<QX>120<QX>1<QX>", "DSEND",
       "1<QX>120<QX>T<QX><QX>" + Numbers(120) + "<QX>0212345678<QX>hi"},
      {"DSEND MMS", "DSEND", "4<QX>120<QX>3<QX>", "DSEND",
       "3<QX>120<QX><QX><QX>" + Numbers(120) + "<QX>0212345678<QX>hi<QX><IMG>a.jpg"},
      {"ESEND SMS", "ESEND", "4<QX>120<QX>1<QX>", "ESEND",
       "1<QX>120<QX>T<QX><QX>fault$<QX>phone<QX>0212345678<QX>hi<QX>11"},
      // One group of three and 117 numbers: 120 messages.
      {"ASEND", "", "", "ASEND",
       "1<QX>118<QX>T<QX><QX>Friends<QX>" + Numbers(117) + "<QX>0212345678<QX>hi"},
  };
  for (const Fault& fault : faults) {
    ASSERT_NO_FATAL_FAILURE(Start(fault.gate_args));
    ASSERT_TRUE(Ask("EXCEL", "1<QX>" + workbook.string()).starts_with("1<QX>fault<QX>"));
    for (const Send& send : sends) {
      std::string trace = send.name;
      for (const std::string& arg : fault.gate_args) trace += " " + arg;
      SCOPED_TRACE(trace);
      Mark();
      if (!send.check_code.empty()) {
        ASSERT_TRUE(Ask(send.check_code, send.check).starts_with("QXSENDABLECHECK<QX>1"));
      }
      const std::string reply = Ask(send.code, send.body);
      const std::string text = reply.substr(0, reply.find("<QX>"));
      // A group send answers the user information string alone, whatever happened.
      EXPECT_EQ(text, send.code == "ASEND" ? "" : std::string(kSendFailedText));
      // The gateway never had every message of a job reported as failed.
      const bool whole = send.code == "ASEND" && fault.group_goes_on;
      const std::vector<testing::GateJob> jobs = gate_->WaitForJobs(jobs_mark_ + whole);
      for (size_t j = jobs_mark_; j < jobs.size(); ++j) {
        EXPECT_EQ(jobs[j].received == 120, whole);
      }
      ExpectSurvived({fault.cause}, kLoadedRecent);
    }
  }
  Stop();
  EXPECT_EQ(BookRows(), stored);
}

TEST_F(FaultEngineTest, WebFaultsAreRefusalsNotSuccess) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::string recent = Ask("ADDRB", "4");
  struct Fault {
    const char* control;
    const char* cause;
  };
  const Fault faults[] = {
      {"/_sim/stall?seconds=2&count=1", "timed out"},
      // Random bytes are no HTTP reply.
      {"/_sim/fail?mode=garbage&count=1", "failed"},
      // The service's own page ("1..." for the login and the check) under an error status.
      {"/_sim/status?code=500&count=1", "HTTP status 500"},
  };
  const std::string sms = "1<QX>3<QX>T<QX><QX>" + Numbers(3) + "<QX>0212345678<QX>hi";
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.control);
    // LOGIN: refused, and the next LOGIN goes through.
    Mark();
    web_.Control(fault.control);
    const std::string login = Ask("LOGIN", "qxuser<QX>qxpass");
    EXPECT_TRUE(login.starts_with("2<QX>")) << login;
    EXPECT_NE(login.substr(0, 6), "2<QX>1") << login;
    ExpectSurvived({"loginok.asp", fault.cause}, recent);
    EXPECT_EQ(Ask("LOGIN", "qxuser<QX>qxpass").substr(0, 6), "2<QX>1");

    // The send check: a check that fails withdraws an earlier permission, so the send that
    // follows sends nothing.
    ASSERT_TRUE(Ask("DSEND", "4<QX>3<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
    Mark();
    web_.Control(fault.control);
    const std::string check = Ask("DSEND", "4<QX>3<QX>1<QX>");
    EXPECT_TRUE(check.starts_with("QXSENDABLECHECK<QX>")) << check;
    EXPECT_FALSE(check.starts_with("QXSENDABLECHECK<QX>1")) << check;
    EXPECT_EQ(AskText("DSEND", sms), "");
    EXPECT_EQ(gate_->Jobs().size(), jobs_mark_);
    ExpectSurvived({"sendablecheck.asp", fault.cause}, recent);

    // SENDL: answered with what arrived in time.
    Mark();
    web_.Control(fault.control);
    Ask("SENDL", "1<QX>20260101<QX>20261231<QX>");
    ExpectSurvived({"GetSendResultCNT.asp", fault.cause}, recent);
  }
}

TEST_F(FaultEngineTest, MmsWithoutAWritableTempImgSendsWhatItBuilt) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const fs::path images = dir_.path() / "TempIMG";
  struct Case {
    const char* name;
    bool make_folder;
    bool read_only;
    const char* pictures;  // field 7 (a picture named but missing refuses the send)
    size_t items;          // package items as sent: the text and the pictures that could be read
  };
  const Case cases[] = {
      {"missing", false, false, "", 1},
      {"read-only", true, true, "<QX><IMG>a.jpg", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeWritable(images);
    fs::remove_all(images);
    if (c.make_folder) {
      fs::create_directories(images);
      WriteFile(images / "a.jpg", std::string(2000, 'A'));
      if (c.read_only && !MakeReadOnly(images)) GTEST_SKIP() << "cannot make a folder read-only";
    }
    const std::string recent = Ask("ADDRB", "4");
    Mark();
    ASSERT_TRUE(Ask("DSEND", "4<QX>3<QX>3<QX>").starts_with("QXSENDABLECHECK<QX>1"));
    // What the engine answers is what the gateway received: the job went out without the file.
    EXPECT_EQ(
        AskText("DSEND", "3<QX>3<QX><QX><QX>" + Numbers(3) + "<QX>0212345678<QX>hi" + c.pictures),
        SentText(3));
    const std::vector<testing::GateJob> jobs = gate_->WaitForJobs(jobs_mark_ + 1);
    ASSERT_EQ(jobs.size(), jobs_mark_ + 1);
    EXPECT_EQ(jobs.back().received, 3);
    ASSERT_EQ(jobs.back().packages.size(), 1u);
    const std::optional<SknPackage> package = ParseSknPackage(jobs.back().packages[0].bytes);
    ASSERT_TRUE(package.has_value());
    EXPECT_EQ(package->items.size(), c.items);
    EXPECT_FALSE(fs::exists(images / "qx.SKN"));
    EXPECT_TRUE(engine_->Running());
    EXPECT_TRUE(LoggedProblem({"not written"})) << engine_->Log().substr(log_mark_);
    EXPECT_EQ(Ask("INIT", ""), "");
  }
}

TEST_F(FaultEngineTest, AnUnusableAddressBookIsLeftAsItIs) {
  std::mt19937 random(9);
  std::string noise(8192, '\0');
  for (char& b : noise) b = static_cast<char>(random());
  std::string jet("\x00\x01\x00\x00Standard Jet DB", 19);
  jet.resize(4096, '\0');
  struct Case {
    const char* name;
    std::string bytes;  // the file as the engine finds it; empty: the prepared book, read-only
    const char* cause;
    std::string groups;      // ADDRB 2
    int64_t group_messages;  // ASEND of the group and one number; -1: no job
  };
  const Case cases[] = {
      {"corrupt", noise, "not an SQLite database", "2<QX><QX>", -1},
      {"Access", jet, "Access database", "2<QX><QX>", -1},
      {"read-only", "", "read-only", "2<QX><GROUP>Friends::3::1::7<QX>", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeWritable(book());
    fs::remove(book());
    if (c.bytes.empty()) {
      ASSERT_NO_FATAL_FAILURE(PrepareBook());
      if (!MakeReadOnly(book())) GTEST_SKIP() << "cannot make a file read-only";
    } else {
      WriteFile(book(), c.bytes);
    }
    const std::string before = ReadFile(book());
    ASSERT_NO_FATAL_FAILURE(Start());
    // The engine serves without the book: a send goes out and its numbers are listed.
    EXPECT_EQ(Ask("ADDRB", "2"), c.groups);
    ASSERT_TRUE(Ask("DSEND", "4<QX>2<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
    EXPECT_EQ(AskText("DSEND", "1<QX>2<QX>T<QX><QX>" + Numbers(2) + "<QX>0212345678<QX>hi"),
              SentText(2));
    EXPECT_TRUE(Ask("ADDRB", "4").starts_with("4<QX>" + Number(1) + "," + Number(0) + ","));
    Mark();
    EXPECT_TRUE(Ask("ASEND", "1<QX>2<QX>T<QX><QX>Friends<QX>" + Number(5) + "<QX>0212345678<QX>hi")
                    .starts_with("<QX>"));
    gate_->Stop();  // records the job if one is still open
    const std::vector<testing::GateJob> jobs = gate_->Jobs();
    ASSERT_EQ(jobs.size(), jobs_mark_ + (c.group_messages >= 0));
    if (c.group_messages >= 0) {
      EXPECT_EQ(jobs.back().received, c.group_messages);
    }
    EXPECT_TRUE(engine_->Running());
    log_mark_ = 0;  // the book is opened at the login
    EXPECT_TRUE(LoggedProblem({c.cause})) << engine_->Log();
    EXPECT_EQ(Ask("LOGIN", "qxuser<QX>qxpass<QX>SAVE").substr(0, 6), "2<QX>1");
    Stop();
    EXPECT_EQ(ReadFile(book()), before);
  }
}

TEST_F(FaultEngineTest, AWorkbookThatVanishesBeforeTheSendSendsNothing) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::string recent = Ask("ADDRB", "4");
  const fs::path workbook = dir_.path() / "list.csv";
  struct Case {
    const char* name;
    bool remove;  // else overwritten with bytes that are no workbook of its kind
  };
  for (const Case c : {Case{"removed", true}, Case{"replaced", false}}) {
    SCOPED_TRACE(c.name);
    WriteFile(workbook, "phone\n01011112222\n01011113333\n");
    ASSERT_TRUE(Ask("EXCEL", "1<QX>" + workbook.string()).starts_with("1<QX>list<QX>"));
    if (c.remove) {
      fs::remove(workbook);
    } else {
      WriteFile(workbook, std::string("\x00\xff\x00\xfe\"unclosed,\n", 13) + std::string(64, '"'));
    }
    Mark();
    ASSERT_TRUE(Ask("ESEND", "4<QX>2<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
    const std::string text =
        AskText("ESEND", "1<QX>2<QX>T<QX><QX>list$<QX>phone<QX>0212345678<QX>hi<QX>11");
    EXPECT_TRUE(text.starts_with("Exception:[")) << text;
    EXPECT_EQ(gate_->Jobs().size(), jobs_mark_);
    ExpectSurvived({"workbook"}, recent);
  }
}

TEST_F(FaultEngineTest, TheUiProgramHangsUpDuringASend) {
  // Held acknowledgements keep the job going for about a second after the client is gone.
  ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "500"}));
  ASSERT_TRUE(Ask("DSEND", "4<QX>120<QX>1<QX>").starts_with("QXSENDABLECHECK<QX>1"));
  std::string error;
  ASSERT_TRUE(client_->SendMessage(
      "DSEND", "1<QX>120<QX>T<QX><QX>" + Numbers(120) + "<QX>0212345678<QX>hi", &error))
      << error;
  ASSERT_TRUE(gate_->WaitForJobs(0).empty());
  client_.reset();
  ASSERT_NO_FATAL_FAILURE(Connect());
  EXPECT_EQ(Ask("INIT", ""), "");
  EXPECT_EQ(Ask("LOGIN", "qxuser<QX>qxpass").substr(0, 6), "2<QX>1");
  // The job the UI program left still went out whole and was reported once.
  const std::vector<testing::GateJob> jobs = gate_->WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].received, 120);
  // Its reply had nowhere to go.
  EXPECT_TRUE(engine_->WaitForLog("reply to DSEND is dropped", 5000)) << engine_->Log();
  EXPECT_EQ(NewReports(), 1u);
  EXPECT_TRUE(engine_->Running());
  EXPECT_EQ(Ask("ADDRB", "4"), "4<QX>" + Number(119) + "," + Number(118) + "," + Number(117) + "," +
                                   Number(116) + "," + Number(115) + ",");
}

}  // namespace
}  // namespace parley
