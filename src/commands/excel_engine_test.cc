// EXCEL and ESEND through the engine binary, against the web service and gateway simulators:
// the listing, count and preview of a workbook, and the Excel SMS and MMS jobs as the gateway
// receives them.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commands/send_engine_fixture.h"
#include "excel/workbook_writer.h"
#include "protocol/excel_check.h"
#include "protocol/status_messages.h"
#include "send/direct_send.h"
#include "send/picture_file.h"
#include "send/send_refusals.h"
#include "send/skn_package.h"
#include "sheets/excel_workbook.h"
#include "testing/engine_process.h"
#include "testing/gate_sim_process.h"
#include "testing/web_sim_process.h"
#include "text/cp949.h"

namespace parley {
namespace {

std::string A(const std::string& utf8) { return Utf8ToAnsi(utf8); }

std::string Number(int i) { return "010" + std::to_string(100000000 + i).substr(1); }

// The recipients and the callbacks of a job's messages, in order.
std::vector<std::string> Numbers(const testing::GateJob& job) {
  std::vector<std::string> numbers;
  for (const testing::GateMessage& m : job.messages) numbers.push_back(m.recipient);
  return numbers;
}
std::vector<std::string> Callbacks(const testing::GateJob& job) {
  std::vector<std::string> callbacks;
  for (const testing::GateMessage& m : job.messages) callbacks.push_back(m.callback);
  return callbacks;
}

class ExcelEngineTest : public ::testing::Test {
 protected:
  ExcelEngineTest() : web_(dir_.path()) {}

  void Start(std::vector<std::string> gate_args = {}) {
    const std::filesystem::path gate_dir = dir_.path() / ("gate" + std::to_string(++starts_));
    std::filesystem::create_directories(gate_dir);
    gate_ = std::make_unique<testing::GateSim>(gate_dir, std::move(gate_args));
    ASSERT_NO_FATAL_FAILURE(engine_.Start(dir_.path(), gate_dir, web_, *gate_));
  }

  // Writes a CSV workbook (engine text) and makes it the engine's workbook; returns the listing.
  std::string UseWorkbook(const std::string& name, const std::string& csv) {
    const std::filesystem::path file = dir_.path() / (name + ".csv");
    std::ofstream(file, std::ios::binary) << csv;
    return engine_.Exchange("EXCEL", "1<QX>" + file.string());
  }

  // Grants the next send and runs ESEND; returns the reply's text before the user information.
  std::string ESend(const std::string& body, int count = 100) {
    const std::string check =
        engine_.Exchange("ESEND", "4<QX>" + std::to_string(count) + "<QX>1<QX>");
    EXPECT_TRUE(check.starts_with("QXSENDABLECHECK<QX>1")) << check;
    const std::string reply = engine_.Exchange("ESEND", body);
    return reply.substr(0, reply.find("<QX>"));
  }

  // The job the last ESEND opened.
  testing::GateJob NextJob() {
    const std::vector<testing::GateJob> jobs = gate_->WaitForJobs(++jobs_);
    EXPECT_EQ(jobs.size(), jobs_);
    return jobs.empty() ? testing::GateJob() : jobs.back();
  }

  std::string LastReport() {
    std::string last = "(none)";
    for (const std::string& r : web_.Requests()) {
      if (r.starts_with("POST /QX/sended.asp ")) last = r.substr(r.find("\r\n\r\n") + 4);
    }
    return last;
  }

  testing::TempDir dir_;
  testing::WebSim web_;
  std::unique_ptr<testing::GateSim> gate_;
  testing::SendEngine engine_;
  int starts_ = 0;
  size_t jobs_ = 0;
};

TEST_F(ExcelEngineTest, ListCountPreviewAndAChangedFile) {
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(UseWorkbook("Sheet1", "name,phone\nKim,01012345678\nLee,01098765432\n"),
            "1<QX>Sheet1<QX>2<QX>name,phone<QX>Kim,01012345678,<Q>Lee,01098765432,<QX>");
  EXPECT_EQ(engine_.Exchange("EXCEL", "2<QX>Sheet1$<QX>name"), "2<QX>2");
  EXPECT_EQ(engine_.Exchange("EXCEL",
                             "3<QX>Sheet1$<QX>phone<QX>0212345678<QX>name<Q>Hi "
                             "[name:2]<QX>11"),
            "3<QX>010-1234-5678,021-234-5678,Hi Ki<QX>010-9876-5432,021-234-5678,Hi Le<QX>");
  // The file changes: the next command sees it.
  std::ofstream(dir_.path() / "Sheet1.csv", std::ios::binary)
      << "name,phone\nKim,01012345678\nLee,01098765432\nPark,01011112222\n";
  EXPECT_EQ(engine_.Exchange("EXCEL", "2<QX>Sheet1$<QX>name"), "2<QX>3");

  // Failures answer with the reason instead of leaving the UI program waiting.
  EXPECT_EQ(engine_.Exchange("EXCEL", "2<QX>Sheet1$<QX>nope"),
            "2<QX>Exception:[no such column: nope]");
  const std::string missing =
      engine_.Exchange("EXCEL", "1<QX>" + (dir_.path() / "gone.xlsx").string());
  EXPECT_TRUE(missing.starts_with("1<QX>Exception:[")) << missing;
  EXPECT_TRUE(engine_.Exchange("EXCEL", "3<QX>Sheet1$<QX>phone<QX>x<QX>y<QX>1")
                  .starts_with("3<QX>Exception:["));
  EXPECT_EQ(engine_.Exchange("INIT", ""), "");  // still serving
}

TEST_F(ExcelEngineTest, SmsJobsFromSheetRows) {
  ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "150"}));
  std::string rows = "phone,back,name\n";
  for (int i = 0; i < 120; ++i) rows += Number(i) + ",02-123-4567,Kim" + std::to_string(i) + "\n";
  UseWorkbook("big", rows);

  // 120 rows: acknowledgements awaited after the rows with index 50 and 100.
  EXPECT_EQ(ESend("1<QX>120<QX>T<QX><QX>big$<QX>phone<QX>back<QX>name<Q>Dear [name:6], "
                  "50%<QX>1",
                  120),
            SentText(120));
  testing::GateJob job = NextJob();
  EXPECT_EQ(job.header.count, 120);
  EXPECT_EQ(job.header.type_code, "SMS");
  ASSERT_EQ(job.messages.size(), 120u);
  EXPECT_EQ(job.messages[7].recipient, Number(7));
  EXPECT_EQ(job.messages[7].callback, "021234567");
  EXPECT_EQ(job.messages[7].text, "Dear Kim7, 50%");
  EXPECT_EQ(job.messages[119].text, "Dear Kim119, 50%");
  std::vector<int64_t> waited;
  for (const testing::GateAck& a : job.acks) {
    if (a.sent_at == a.due + 1) waited.push_back(a.due);
  }
  EXPECT_EQ(waited, (std::vector<int64_t>{50, 100}));
  EXPECT_EQ(LastReport(), "jobid=" + job.job_id +
                              "&type=SMS&totcnt=120&title=T&msg=name<Q>Dear [name:6], "
                              "50%25&resflag=1&reserdate=&fromnumber=back");

  // Cells of every kind; the count of 10 over 4 rows sends to the 3 valid ones, leaves out and
  // names the one that is no mobile number; the one-column callback loses its hyphens; the
  // empty title is the default subject.
  UseWorkbook("cells", "phone\n1011112222.0\n010-1111-2222\n12345\n01033334444\n");
  EXPECT_EQ(ESend("1<QX>10<QX><QX><QX>cells$<QX>phone<QX>02-123-4567<QX>hi<QX>11"),
            SentText(3) + "\n" +
                Utf8ToAnsi(
                    "번호가 잘못된 1개 행은 보내지 않았습니다: 4행 \"12345\"(휴대폰 번호가 아님)"));
  job = NextJob();
  EXPECT_EQ(job.header.count, 3);
  EXPECT_EQ(job.header.title, std::string(kSknDefaultSubject));
  ASSERT_EQ(job.messages.size(), 3u);
  const char* recipients[] = {"01011112222", "01011112222", "01033334444"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(job.messages[i].recipient, recipients[i]);
    EXPECT_EQ(job.messages[i].callback, "021234567");
  }
  EXPECT_EQ(LastReport(), "jobid=" + job.job_id +
                              "&type=SMS&totcnt=3&title=" + std::string(kSknDefaultSubject) +
                              "&msg=hi&resflag=1&reserdate=&fromnumber=021234567");

  // Duplicate rows: only rows equal in every selected column are one recipient.
  UseWorkbook("dup",
              "phone,back,name\n01011112222,0212345678,Kim\n01011112222,0212345678,Kim\n"
              "01011112222,0212345678,Lee\n");
  EXPECT_EQ(ESend("1<QX>3<QX>T<QX><QX>dup$<QX><OVERLAP>phone<QX>back<QX>name<Q>[name:3]<QX>1"),
            SentText(2));
  EXPECT_EQ(NextJob().messages.size(), 2u);
  EXPECT_EQ(ESend("1<QX>3<QX>T<QX><QX>dup$<QX>phone<QX>back<QX>name<Q>[name:3]<QX>1"), SentText(3));
  EXPECT_EQ(NextJob().messages.size(), 3u);
}

// A sheet whose rows hold numbers nobody can be reached at: the full check names every such row
// before anything is sent, the send reaches exactly the valid rows, and the reply and the journal
// name the rows left out.
TEST_F(ExcelEngineTest, OnlyTheValidNumbersOfTheRowsAreSent) {
  ASSERT_NO_FATAL_FAILURE(Start());
  UseWorkbook("bad",
              "phone,back,name\n"
              ",0212345678,Empty\n"                   // row 2
              "abc,0212345678,Letters\n"              // row 3
              "+82 10 5555 6666,02-1234-5678,Plus\n"  // row 4: valid
              "02-123-4567,0212345678,Landline\n"     // row 5
              "1588-1234,0212345678,Rep\n"            // row 6
              "010-2222-3333,,NoBack\n"               // row 7: no callback
              "010-2222-4444,12,ShortBack\n"          // row 8: no callback number
              "01022225555,1588-1234,Good\n");        // row 9: valid
  const std::string body = "1<QX>8<QX>T<QX><QX>bad$<QX>phone<QX>back<QX>name<Q>[name:8]<QX>1";
  const std::optional<protocol::ExcelCheckReply> check =
      protocol::ExcelCheckReply::Parse(engine_.Exchange("EXCHK", body));
  ASSERT_TRUE(check);
  EXPECT_EQ(check->rows, 8);
  EXPECT_EQ(check->messages, 2);
  EXPECT_EQ(check->invalid, 6);
  EXPECT_EQ(check->kind, "SMS");
  const std::vector<protocol::CheckFault> faults = {
      {2, "phone", "empty", ""},
      {3, "phone", "not-digits", "abc"},
      {5, "phone", "not-mobile", "02-123-4567"},
      {6, "phone", "not-mobile", "1588-1234"},
      {7, "callback", "empty", ""},
      {8, "callback", "not-callback", "12"},
  };
  EXPECT_EQ(check->faults, faults);

  const std::string reply = ESend(body);
  EXPECT_TRUE(reply.starts_with(SentText(2) + "\n")) << reply;
  EXPECT_NE(reply.find(A("번호가 잘못된 6개 행은 보내지 않았습니다: 2행 \"\"(빈 칸), 3행 \"abc\"")),
            std::string::npos)
      << reply;
  const testing::GateJob job = NextJob();
  EXPECT_EQ(Numbers(job), (std::vector<std::string>{"01055556666", "01022225555"}));
  EXPECT_EQ(Callbacks(job), (std::vector<std::string>{"0212345678", "15881234"}));

  // The journal keeps the rows left out, with why.
  const std::optional<protocol::JobListReply> jobs =
      protocol::JobListReply::Parse(engine_.Exchange("JOBLS", "1"));
  ASSERT_TRUE(jobs && jobs->jobs.size() == 1u);
  EXPECT_EQ(jobs->jobs[0].total, 2);
  EXPECT_EQ(jobs->jobs[0].left_out, 6);
  const std::filesystem::path csv = dir_.path() / "job.csv";
  EXPECT_EQ(engine_.Exchange("JOBEX", std::to_string(jobs->jobs[0].id) + "<QX>" + csv.string()),
            "8");
  std::ifstream in(csv);
  const std::string exported((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(exported.find("\"row 3\",\"abc\",\"left out\",\"phone not-digits\"\r\n"),
            std::string::npos)
      << exported;
  EXPECT_NE(exported.find("\"row 8\",\"12\",\"left out\",\"callback not-callback\"\r\n"),
            std::string::npos);

  // A count of exactly the valid rows (as the front ends send it) still names the wrong rows
  // after the last valid one.
  UseWorkbook("tail", "phone\n01011112222\nabc\n\n");
  EXPECT_EQ(ESend("1<QX>1<QX>T<QX><QX>tail$<QX>phone<QX>0212345678<QX>hi<QX>11"),
            SentText(1) + "\n" + A("번호가 잘못된 1개 행은 보내지 않았습니다: 3행 \"abc\"(번호가 아님)"));
  EXPECT_EQ(NextJob().messages.size(), 1u);

  // A one-column callback that is no number refuses the send; nothing goes out.
  for (const std::string callback : {"", "12", "abc"}) {
    EXPECT_TRUE(ESend("1<QX>8<QX>T<QX><QX>bad$<QX>phone<QX>" + callback + "<QX>hi<QX>11")
                    .starts_with("Exception:["))
        << callback;
  }
  EXPECT_EQ(gate_->Jobs().size(), 2u);
}

// Each number once: rows with one number and different names reach that number once, and every
// other number too; a column named as SQLite names a row id is the sheet's column.
TEST_F(ExcelEngineTest, EachNumberOnceAndRowIdColumnsAreTheSheets) {
  ASSERT_NO_FATAL_FAILURE(Start());
  UseWorkbook("dup",
              "rowid,name\n01011112222,Kim\n010-1111-2222,Lee\n01033334444,Park\n"
              "01011112222,Choi\n01055556666,Jung\n");
  const std::string body =
      "1<QX>3<QX>T<QX><QX>dup$<QX><ONCE>rowid<QX>0212345678<QX>"
      "name<Q>[name:4]<QX>11";
  const std::optional<protocol::ExcelCheckReply> check =
      protocol::ExcelCheckReply::Parse(engine_.Exchange("EXCHK", body));
  ASSERT_TRUE(check);
  EXPECT_EQ(check->messages, 3);
  EXPECT_EQ(check->duplicates, 2);
  EXPECT_EQ(ESend(body), SentText(3));
  const testing::GateJob job = NextJob();
  EXPECT_EQ(Numbers(job), (std::vector<std::string>{"01011112222", "01033334444", "01055556666"}));
  ASSERT_FALSE(job.messages.empty());
  EXPECT_EQ(job.messages[0].text, "Kim") << "the first row keeps its number";
}

TEST_F(ExcelEngineTest, RefusedJobsSendNothing) {
  ASSERT_NO_FATAL_FAILURE(Start());
  UseWorkbook("long", "phone,name\n01011112222,Kim\n01011113333," + std::string(120, 'x') + "\n");
  const std::filesystem::path images = dir_.path() / "TempIMG";
  std::filesystem::create_directories(images);
  std::ofstream(images / "big.jpg", std::ios::binary) << "x";
  std::filesystem::resize_file(images / "big.jpg", kMaxPictureBytes + 1);
  std::ofstream(dir_.path() / "secret.txt", std::ios::binary) << "root:x:0:0";
  std::filesystem::create_symlink(dir_.path() / "secret.txt", images / "link.jpg");
  const std::string mms = "3<QX>2<QX>T<QX><QX>long$<QX>phone<QX>0212345678<QX>hi<QX>11<QX><IMG>";
  struct Case {
    std::string body;
    std::string reply_start;
  } cases[] = {
      // The second row's text would be 123 bytes: nothing is sent, the row is named.
      {"1<QX>2<QX>T<QX><QX>long$<QX>phone<QX>0212345678<QX>name<Q>Hi [name:200]<QX>11",
       "Exception:[3"},
      {"1<QX>2<QX>T<QX><QX>long$<QX>fax<QX>0212345678<QX>hi<QX>11",
       "Exception:[no such column: fax]"},
      {"1<QX>2<QX>T<QX><QX>long$<QX>phone<QX>02-1234-5678-9999-0000<QX>hi<QX>11", "Exception:["},
      // The pictures are checked before anything else.
      {mms + "missing.jpg,link.jpg,", ExceptionText(RefusalReason(SendRefusal::kPicturesMissing))},
      {mms + "big.jpg,", ExceptionText(RefusalReason(SendRefusal::kPictureTooLarge))},
      {"1<QX>2<QX>T<QX><QX>long$<QX>phone<QX>0212345678<QX>before`after<QX>11",
       RefusalText(SendRefusal::kRawBacktick)},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(ESend(c.body).starts_with(c.reply_start)) << c.body;
    EXPECT_EQ(LastReport(), "");
  }
  // A mode that is no send sends nothing and answers the user information alone.
  const std::string reply =
      engine_.Exchange("ESEND", "9<QX>1<QX>T<QX><QX>long$<QX>phone<QX>0212345678<QX>hi<QX>11");
  EXPECT_EQ(reply.find("Exception"), std::string::npos) << reply;
  gate_->Stop();
  EXPECT_EQ(gate_->Jobs().size(), 0u);
}

TEST_F(ExcelEngineTest, MmsJobsBuildAPackagePerRow) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::filesystem::path images = dir_.path() / "TempIMG";
  std::filesystem::create_directories(images);
  std::ofstream(images / "a.jpg", std::ios::binary) << std::string(3000, 'A');
  std::ofstream(images / "b.jpg", std::ios::binary) << std::string(500, 'B');
  // A column name with a comma arrives as "&comma;".
  std::string rows = "\"ph,one\",name\n";
  for (int i = 0; i < 60; ++i) rows += Number(i) + "," + A("김") + std::to_string(i) + "\n";
  UseWorkbook("mms", rows);
  struct Case {
    std::string pictures;  // field 9
    std::string type_code;
    std::vector<std::string> items;
  } cases[] = {
      {"", "TXT", {}},
      {"<IMG>a.jpg,b.jpg,", "IMT", {"a.jpg", "b.jpg"}},
      {"<IMG>a.jpg,b.jpg", "IMT", {"a.jpg"}},
      {"<IMG>a.jpg,,b.jpg,", "IMT", {"a.jpg", "b.jpg"}},
      // A name too long for the file system is left out like a missing picture.
      {"<IMG>" + std::string(300, 'x') + ".jpg,b.jpg,", "IMT", {"b.jpg"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pictures);
    EXPECT_EQ(AnsiToUtf8(ESend("3<QX>60<QX><QX><QX>mms$<QX>ph&comma;one<QX>0212345678<QX>name<Q>To "
                               "[name:9]<QX>11" +
                               (c.pictures.empty() ? "" : "<QX>" + c.pictures))),
              "성공적으로 전송되었습니다");
    EXPECT_EQ(LastReport(), "");
    const testing::GateJob job = NextJob();
    EXPECT_EQ(job.header.type_code, c.type_code);
    EXPECT_EQ(job.header.title, std::string(kMmsDefaultTitle));
    ASSERT_EQ(job.messages.size(), 60u);
    ASSERT_EQ(job.packages.size(), 60u);  // every row its own package
    for (size_t i = 0; i < 60; ++i) {
      const std::optional<SknPackage> package = ParseSknPackage(job.packages[i].bytes);
      ASSERT_TRUE(package.has_value());
      EXPECT_EQ(job.messages[i].checksum, job.packages[i].checksum);
      EXPECT_EQ(job.messages[i].callback, "0212345678");
      EXPECT_EQ(package->subject, std::string(kMmsDefaultTitle));
      ASSERT_EQ(package->items.size(), c.items.size() + 1);
      EXPECT_EQ(AnsiToUtf8(package->items[0].data), "To 김" + std::to_string(i));
      for (size_t k = 0; k < c.items.size(); ++k) {
        EXPECT_EQ(package->items[k + 1].file_name, c.items[k]);
      }
    }
    std::ifstream file(images / "qx.SKN", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), job.packages[59].bytes);
  }
}

using Row = std::vector<std::optional<WorkbookValue>>;

Row TextRow(std::initializer_list<const char*> cells) {
  Row row;
  for (const char* cell : cells) row.emplace_back(std::string(cell));
  return row;
}

TEST_F(ExcelEngineTest, CraftedSheetAndColumnNamesAreOnlyNames) {
  ASSERT_NO_FATAL_FAILURE(Start());
  // Written to turn the old bracketed queries into joins of sheet x with itself.
  const std::string sheet = "x$],[x$]a,[x$]b,[x$]c,[x$]d--";
  const std::string column = "phone] from [x$],[x$]a,[x$]b)--";
  const std::vector<SheetData> sheets = {
      {"x",
       {TextRow({"phone", "name"}), TextRow({"01011112222", "Kim"}),
        TextRow({"01033334444", "Lee"}), TextRow({"01055556666", "Park"})}},
      {sheet,
       {TextRow({column.c_str(), "name"}), TextRow({"01077778888", "Choi"}),
        TextRow({"01077778888", "Jung"})}}};
  const std::filesystem::path file = dir_.path() / "crafted.xlsx";
  std::string error;
  ASSERT_TRUE(WriteXlsx(file, sheets, XlsxOptions{}, &error)) << error;

  EXPECT_EQ(engine_.Exchange("EXCEL", "1<QX>" + file.string()),
            "1<QX>x<QX>3<QX>phone,name<QX>01011112222,Kim,<Q>01033334444,Lee,<Q>01055556666,"
            "Park,<QX>" +
                sheet + "<QX>2<QX>phone] from [x$]&comma;[x$]a&comma;[x$]b)--,name<QX>" +
                "01077778888,Choi,<Q>01077778888,Jung,<QX>");
  EXPECT_EQ(engine_.Exchange("EXCEL", "2<QX>" + sheet + "$<QX>" + column), "2<QX>1");
  EXPECT_EQ(engine_.Exchange("EXCEL", "2<QX>" + sheet + "$<QX>name"), "2<QX>2");
  EXPECT_EQ(ESend("1<QX>5<QX>T<QX><QX>" + sheet + "$<QX>" + column +
                  "<QX>0212345678<QX>name<Q>Hi [name:4]<QX>11"),
            SentText(2));
  const testing::GateJob job = NextJob();
  ASSERT_EQ(job.messages.size(), 2u);
  EXPECT_EQ(job.messages[0].recipient, "01077778888");
  EXPECT_EQ(job.messages[0].text, "Hi Choi");
  EXPECT_EQ(job.messages[1].text, "Hi Jung");
}

TEST_F(ExcelEngineTest, NamesAndPathsOutsideCp949) {
  ASSERT_NO_FATAL_FAILURE(Start());
  // A path reaches the file system as the UI program sent it; a name the engine's text cannot
  // hold is shown, and reached, with "?" in place of what it cannot hold.
  struct Case {
    std::string file;  // UTF-8
    std::string listing;
  } cases[] = {
      {"emoji😀.csv", "1<QX>emoji?<QX>2<QX>name<QX>Kim,<Q>Kim,<QX>"},
      {"ő-accent.csv", "1<QX>?-accent<QX>2<QX>name<QX>Kim,<Q>Kim,<QX>"},
      {"주소록.csv", "1<QX>" + A("주소록") + "<QX>2<QX>name<QX>Kim,<Q>Kim,<QX>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::filesystem::path file = dir_.path() / c.file;
    std::ofstream(file, std::ios::binary) << "name\nKim\nKim\n";
    EXPECT_EQ(engine_.Exchange("EXCEL", "1<QX>" + file.string()), c.listing);
    // Later commands open the stored path again; the UI program names the sheet in UTF-8.
    const std::string sheet = AnsiToUtf8(c.listing.substr(5, c.listing.find("<QX>", 5) - 5));
    EXPECT_EQ(engine_.Exchange("EXCEL", "2<QX>" + sheet + "$<QX>name"), "2<QX>1");
  }

  const std::vector<SheetData> sheets = {{"연락처😀", {TextRow({"이름😀"}), TextRow({"김"})}},
                                         {"Sheet2", {TextRow({"name"}), TextRow({"Lee"})}}};
  const std::filesystem::path file = dir_.path() / "연락처😀.xlsx";
  std::string error;
  ASSERT_TRUE(WriteXlsx(file, sheets, XlsxOptions{}, &error)) << error;
  EXPECT_EQ(engine_.Exchange("EXCEL", "1<QX>" + file.string()),
            A("1<QX>연락처?<QX>1<QX>이름?<QX>김,<QX>Sheet2<QX>1<QX>name<QX>Lee,<QX>"));
  EXPECT_EQ(engine_.Exchange("EXCEL", "2<QX>연락처?$<QX>이름?"), "2<QX>1");
}

TEST_F(ExcelEngineTest, ExcelCommandsWhileAnExcelSendWaitsForTheGateway) {
  ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "1500"}));
  std::string rows = "phone\n";
  for (int i = 0; i < 60; ++i) rows += Number(i) + "\n";
  const std::string listing = UseWorkbook("rows", rows);
  ASSERT_TRUE(listing.starts_with("1<QX>rows<QX>60<QX>phone<QX>")) << listing;

  const std::string check = engine_.Exchange("ESEND", "4<QX>60<QX>1<QX>");
  ASSERT_TRUE(check.starts_with("QXSENDABLECHECK<QX>1")) << check;
  engine_.Post("ESEND", "1<QX>60<QX>T<QX><QX>rows$<QX>phone<QX>0212345678<QX>hi<QX>11");
  // The send reads its rows from the cached workbook and waits for the gateway between them.
  ASSERT_TRUE(engine_.process().WaitForLog("waiting for the acknowledgement", 10000));
  const std::string path = (dir_.path() / "rows.csv").string();
  struct Case {
    std::string body;
    std::string reply;
  } cases[] = {
      {"1<QX>" + path, listing},
      {"2<QX>rows$<QX>phone", "2<QX>60"},
      {"3<QX>rows$<QX>phone<QX>0212345678<QX>hi<QX>11", ""},
  };
  for (const Case& c : cases) {
    engine_.Post("EXCEL", c.body);
    const RawMessage reply = engine_.Receive();
    EXPECT_TRUE(reply.header.starts_with("EXCEL")) << reply.header;
    if (c.reply.empty()) {
      EXPECT_TRUE(reply.body.starts_with("3<QX>010-0000-0000,021-234-5678,hi<QX>")) << reply.body;
    } else {
      EXPECT_EQ(reply.body, c.reply);
    }
  }
  const RawMessage sent = engine_.Receive();
  EXPECT_TRUE(sent.header.starts_with("ESEND")) << sent.header;
  EXPECT_TRUE(sent.body.starts_with(SentText(60))) << sent.body;
  EXPECT_EQ(NextJob().messages.size(), 60u);
}

}  // namespace
}  // namespace parley
