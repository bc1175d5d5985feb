// qx send: the request it builds, and a check plus picture send through the engine binary against
// the web service and gateway simulators.
#include "qx/send_command.h"
#include "qx/exit_codes.h"
#include "qx/plan_words.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "client/send_input.h"
#include "db/address_book.h"
#include "qx/book_command.h"
#include "testing/engine_process.h"
#include "testing/gate_sim_process.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

TEST(SendCommandTest, ModeAndBody) {
  struct Case {
    std::string text;
    std::vector<std::string> images;
    int mode;
  };
  const Case cases[] = {
      {std::string(90, 'x'), {}, 1},
      {std::string(91, 'x'), {}, 2},  // the 90-byte SMS limit, not the gateway field's 99
      {std::string(88, 'a') + "\xEA\xB0\x80", {}, 1},  // "가" is 2 bytes in CP949
      {std::string(89, 'a') + "\xEA\xB0\x80", {}, 2},
      {"hi", {"a.jpg"}, 3},
  };
  for (const Case& c : cases) {
    SendOptions o;
    o.text = c.text;
    o.images = c.images;
    EXPECT_EQ(SendMode(o), c.mode) << c.text.size();
  }
  SendOptions o;
  o.to = {"010-1111-2222", "01033334444"};
  o.title = "T";
  o.callback = "021";
  o.text = "a<b>c`d";
  EXPECT_EQ(SendBody(o, 1),
            "1<QX>2<QX>T<QX><QX>010-1111-2222,01033334444<QX>021<QX>a&lt;b&gt;c&gacct;d");
  // Group names go before the numbers, as UTF-8 like the rest of the body, and count with them.
  o.groups = {"친구", "Work"};
  EXPECT_EQ(SendBody(o, 1),
            "1<QX>4<QX>T<QX><QX>친구,Work<QX>010-1111-2222,01033334444"
            "<QX>021<QX>a&lt;b&gt;c&gacct;d");
  // Pictures staged under TempIMG follow the text, their names separated by commas.
  EXPECT_EQ(SendBody(o, 3, {"a.jpg", "b.jpg"}),
            "3<QX>4<QX>T<QX><QX>친구,Work<QX>010-1111-2222,01033334444"
            "<QX>021<QX>a&lt;b&gt;c&gacct;d<QX><IMG>a.jpg,b.jpg");
}

// A link left in TempIMG under the picture's name is replaced, not written through.
// Each --to item is named by its value for refusals; a list of thousands must not copy itself
// into every item (a 100,000-number list took minutes and gigabytes before it reached the engine).
TEST(SendCommandTest, ToItemsQuoteAShortValueWholeAndALongOneByItsStart) {
  std::string long_list;
  for (int i = 0; i < 3000; ++i) long_list += (i > 0 ? "," : "") + std::to_string(1012340000 + i);
  struct Case {
    std::string value;
    size_t item;
    std::string where;
  } cases[] = {
      {"010-1234-5678,홍길동", 1, "--to \"010-1234-5678,홍길동\" item 2"},
      {long_list, 2999, "--to \"1012340000,1012340001,1012340002,1012340...\" item 3000"},
      // The cut falls inside a Korean letter: it backs off to the letter's start.
      {"홍길동홍길동홍길동홍길동홍길동,0", 0, "--to \"홍길동홍길동홍길동홍길동홍...\" item 1"},
  };
  for (const Case& c : cases) {
    const std::vector<SourcedItem> items = ItemsOfToOptions({c.value});
    ASSERT_GT(items.size(), c.item);
    Verdict refused{Msg::kNumberNotDigits, {items[c.item].item.text}, items[c.item].source.field};
    refused.position = items[c.item].item.item;
    refused.source = items[c.item].source.name;
    EXPECT_EQ(WhereWords(Language::kEnglish, refused), c.where);
  }
}

TEST(SendCommandTest, StagingAPictureReplacesALinkInsteadOfWritingThroughIt) {
  testing::TempDir dir;
  const std::filesystem::path victim = dir.path() / "victim.txt";
  std::ofstream(victim) << "keep me";
  const std::filesystem::path picture = dir.path() / "pic.jpg";
  std::ofstream(picture, std::ios::binary) << std::string(100, 'P');
  std::filesystem::create_directories(dir.path() / "TempIMG");
  std::filesystem::create_symlink(victim, dir.path() / "TempIMG" / "pic.jpg");

  std::vector<std::string> names;
  const auto refused = StagePictures({picture.string()}, dir.path().string(), &names);
  ASSERT_FALSE(refused) << Word(Language::kEnglish, *refused);
  EXPECT_EQ(names, (std::vector<std::string>{"pic.jpg"}));
  const std::filesystem::path staged = dir.path() / "TempIMG" / "pic.jpg";
  EXPECT_FALSE(std::filesystem::is_symlink(staged));
  EXPECT_EQ(std::filesystem::file_size(staged), 100u);
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "TempIMG"), {}), 1);
}

TEST(SendCommandTest, ChecksAndSendsPicturesThroughTheEngine) {
  testing::TempDir dir;
  testing::WebSim web(dir.path());
  testing::GateSim gate(dir.path());
  const uint16_t link_port = testing::FreePort();
  testing::ChildProcess engine(
      testing::EngineBinary(),
      {"--link-port", std::to_string(link_port), "--ui-program", "none", "--home",
       dir.path().string(), "--web-base", web.base_url(), "--web-port", std::to_string(web.port()),
       "--gateway", "127.0.0.1:" + std::to_string(gate.port()), "--gateway-timeout", "2"},
      dir.path() / "engine.log");
  ASSERT_TRUE(engine.WaitForLog("listening on", 10000)) << engine.Log();
  const std::filesystem::path picture = dir.path() / "pic.jpg";
  std::ofstream(picture, std::ios::binary) << "\xFF\xD8\xFF\xE0" << std::string(1234, 'P');

  SendOptions o;
  o.to = {"01011112222", "01033334444"};
  o.text = "hello";
  o.callback = "0212345678";
  o.images = {picture.string()};
  o.home = dir.path().string();
  o.login = "qxuser";
  o.password = "qxpass";
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunSendCommand(o, LinkTarget{"127.0.0.1", link_port, 20}, out, err), 0)
      << out.str() << err.str();
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "TempIMG" / "pic.jpg"));
  const std::vector<testing::GateJob> jobs = gate.WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].header.type_code, "IMT");
  EXPECT_EQ(jobs[0].messages.size(), 2u);

  // A group send: the group's members, then the numbers, in one ASEND job. The group is made
  // as users make it, with qx book, under a Korean name.
  {
    BookFile book;
    std::string error;
    ASSERT_TRUE(book.Open(dir.path() / AddressBook::kFileName, &error)) << error;
    ASSERT_TRUE(book.AddGroup("친구", &error)) << error;
    std::istringstream csv("김민준,010-5555-6666\n");
    int added = 0;
    ASSERT_TRUE(book.Import("친구", csv, &added, &error)) << error;
  }
  o.groups = {"친구"};
  o.to = {"01011112222"};
  o.images.clear();
  o.login.clear();
  ASSERT_EQ(RunSendCommand(o, LinkTarget{"127.0.0.1", link_port, 20}, out, err), 0)
      << out.str() << err.str();
  const std::vector<testing::GateJob> group_jobs = gate.WaitForJobs(2);
  ASSERT_EQ(group_jobs.size(), 2u);
  EXPECT_EQ(group_jobs[1].header.count, 2);
  ASSERT_EQ(group_jobs[1].messages.size(), 2u);
  EXPECT_EQ(group_jobs[1].messages[0].recipient, "01055556666");
  EXPECT_EQ(group_jobs[1].messages[1].recipient, "01011112222");

  // Pictures without the engine's home cannot be staged: nothing is asked of the engine.
  o.images = {picture.string()};
  o.home.clear();
  EXPECT_EQ(RunSendCommand(o, LinkTarget{"127.0.0.1", link_port, 20}, out, err), kExitUsage);
  EXPECT_NE(err.str().find("--home"), std::string::npos);
}

}  // namespace
}  // namespace parley
