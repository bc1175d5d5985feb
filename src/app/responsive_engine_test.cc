// The engine binary while the web service does not answer or a large workbook loads: the link is
// still served, the commands behind the waiting one keep their order, a stalled call times out as
// configured, and the engine ends when told to.
#include <signal.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "excel/workbook_writer.h"
#include "link/message.h"
#include "client/link_client.h"
#include "testing/engine_process.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

// Far longer than any web time-out below: a call that ends did so by its time-out.
constexpr char kStall[] = "/_sim/stall?seconds=60&count=1";
constexpr char kUsage[] = "2024<QX>3<QX>2024<QX>3";  // CASHL: one web call

class ResponsiveEngineTest : public ::testing::Test {
 protected:
  ResponsiveEngineTest() : sim_(dir_.path()), link_port_(testing::FreePort()) {}

  void Start(int web_timeout_seconds) {
    engine_ = std::make_unique<testing::ChildProcess>(
        testing::EngineBinary(),
        std::vector<std::string>{"--link-port", std::to_string(link_port_), "--ui-program", "none",
                                 "--home", dir_.path().string(), "--web-base", sim_.base_url(),
                                 "--web-port", std::to_string(sim_.port()), "--web-timeout",
                                 std::to_string(web_timeout_seconds), "--log-level", "debug"},
        dir_.path() / ("engine" + std::to_string(++starts_) + ".log"));
    ASSERT_TRUE(engine_->WaitForLog("listening on", 10000)) << engine_->Log();
    std::string error;
    ASSERT_TRUE(client_.Connect("127.0.0.1", link_port_, &error)) << error;
  }

  // Sends the messages in one write, so that the engine has them all at once.
  void Post(const std::vector<std::pair<std::string, std::string>>& messages) {
    std::string stream;
    for (const auto& [code, body] : messages) stream += MakeMessage(code, body);
    std::string error;
    ASSERT_TRUE(client_.Write(stream, &error)) << error;
  }

  RawMessage Read(int timeout_ms) {
    RawMessage m;
    std::string error;
    EXPECT_TRUE(client_.ReadMessage(&m, timeout_ms, &error)) << error << engine_->Log();
    return m;
  }

  testing::TempDir dir_;
  testing::WebSim sim_;
  uint16_t link_port_;
  int starts_ = 0;  // each engine logs to a file of its own
  std::unique_ptr<testing::ChildProcess> engine_;
  LinkClient client_;
};

TEST_F(ResponsiveEngineTest, InitIsAnsweredWhileAWebCallWaitsAndTheRestKeepTheirOrder) {
  ASSERT_NO_FATAL_FAILURE(Start(2));
  sim_.Control(kStall);
  Post({{"CASHL", kUsage},
        {"ADDRB", "4"},
        {"SENDL", "2<QX>20240301<QX>20240331"},
        {"INIT", ""},
        {"STATE", ""}});
  // INIT and STATE go past the waiting call; the other commands wait their turn behind it.
  EXPECT_EQ(Read(1500).header.substr(0, 4), "INIT");
  EXPECT_EQ(Read(1500).header.substr(0, 5), "STATE");
  const RawMessage usage = Read(10000);
  EXPECT_EQ(usage.header + usage.body, "CASHLQX0.10         ")
      << "the stalled call's place is empty";
  EXPECT_EQ(Read(10000).header.substr(0, 5), "ADDRB");
  const RawMessage results = Read(10000);
  EXPECT_EQ(results.header + results.body, "SENDLQX0.17         2<DATA>");
  EXPECT_TRUE(engine_->WaitForLog("GetDailyStat.asp?syy=2024&smm=3&eyy=2024&emm=3 failed", 1000))
      << engine_->Log();
}

TEST_F(ResponsiveEngineTest, TheEngineEndsAtOnceWhileAWebCallWaits) {
  struct Case {
    const char* how;
    bool by_signal;  // SIGTERM, else ENDQX 1
  };
  for (const Case& c : {Case{"SIGTERM", true}, Case{"ENDQX 1", false}}) {
    SCOPED_TRACE(c.how);
    // The call would wait 30 s for its time-out; the engine must not.
    ASSERT_NO_FATAL_FAILURE(Start(30));
    sim_.Control(kStall);
    Post({{"CASHL", kUsage}, {"INIT", ""}});
    ASSERT_EQ(Read(5000).header.substr(0, 4), "INIT");
    if (c.by_signal) {
      engine_->Signal(SIGTERM);
    } else {
      Post({{"ENDQX", "1"}});
      const RawMessage m = Read(5000);
      EXPECT_EQ(m.header + m.body, "ENDQXQX0.14         EXIT");
    }
    int status = -1;
    ASSERT_TRUE(engine_->Wait(10000, &status)) << engine_->Log();
    EXPECT_EQ(status, 0) << engine_->Log();
    client_.Close();
    engine_.reset();
    link_port_ = testing::FreePort();
  }
}

// A workbook of one sheet: a header row, then `rows` rows of a phone number and a name.
std::filesystem::path WriteLongList(const std::filesystem::path& dir, int rows) {
  SheetData sheet{"list", {}};
  sheet.rows.reserve(static_cast<size_t>(rows) + 1);
  sheet.rows.push_back({WorkbookValue(std::string("phone")), WorkbookValue(std::string("name"))});
  for (int i = 0; i < rows; ++i) {
    sheet.rows.push_back({WorkbookValue("010-" + std::to_string(1000 + i / 10000) + "-" +
                                        std::to_string(1000 + i % 10000)),
                          WorkbookValue("name " + std::to_string(i))});
  }
  const std::filesystem::path path = dir / "long.xlsx";
  std::string error;
  EXPECT_TRUE(WriteXlsx(path, {sheet}, XlsxOptions{}, &error)) << error;
  return path;
}

TEST_F(ResponsiveEngineTest, InitIsAnsweredWhileALargeWorkbookLoads) {
  constexpr int kRows = 200000;
  const std::filesystem::path list = WriteLongList(dir_.path(), kRows);
  ASSERT_NO_FATAL_FAILURE(Start(2));
  Post({{"EXCEL", "1<QX>" + list.string()}, {"INIT", ""}, {"STATE", ""}});
  EXPECT_EQ(Read(10000).header.substr(0, 4), "INIT") << "answered before the load ends";
  EXPECT_EQ(Read(10000).header.substr(0, 5), "STATE") << "answered before the load ends";
  const RawMessage listing = Read(60000);
  EXPECT_EQ(listing.header.substr(0, 5), "EXCEL");
  EXPECT_EQ(listing.body.substr(0, 25), "1<QX>list<QX>200000<QX>ph") << listing.body.substr(0, 80);
  // The loaded workbook answers the next query from the cache.
  Post({{"EXCEL", "2<QX>list$<QX>phone"}});
  EXPECT_EQ(Read(60000).body, "2<QX>" + std::to_string(kRows));
}

TEST_F(ResponsiveEngineTest, SigtermEndsTheEngineWhileALargeWorkbookLoads) {
  const std::filesystem::path list = WriteLongList(dir_.path(), 200000);
  ASSERT_NO_FATAL_FAILURE(Start(2));
  Post({{"EXCEL", "1<QX>" + list.string()}, {"INIT", ""}});
  ASSERT_EQ(Read(10000).header.substr(0, 4), "INIT");
  engine_->Signal(SIGTERM);
  int status = -1;
  ASSERT_TRUE(engine_->Wait(20000, &status)) << engine_->Log();
  EXPECT_EQ(status, 0) << engine_->Log();
}

}  // namespace
}  // namespace parley
