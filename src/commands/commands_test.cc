// The installed handlers in-process, with the web service and the gateway out of reach: which
// commands store the recent numbers.
#include "commands/commands.h"

#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>

#include "engine/engine.h"
#include "link/message.h"
#include "testing/engine_process.h"

namespace parley {
namespace {

// Makes a directory the current one while it lives: the address book is opened there.
class CurrentDir {
 public:
  explicit CurrentDir(const std::filesystem::path& dir) : before_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~CurrentDir() { std::filesystem::current_path(before_); }

 private:
  std::filesystem::path before_;
};

EngineConfig UnreachableConfig() {
  EngineConfig c;
  c.link_port = 0;
  c.web_base = "http://127.0.0.1";
  c.web_port = 1;  // refused at once
  c.web_timeout_seconds = 1;
  c.gateway_host = "127.0.0.1";
  c.gateway_port = 1;
  c.gateway_timeout_seconds = 1;
  return c;
}

class CommandsTest : public ::testing::Test {
 protected:
  CommandsTest() : cwd_(dir_.path()), engine_(io_, UnreachableConfig()) {
    InstallCommandHandlers(engine_);
  }

  void Run(std::string code, std::string body) {
    asio::co_spawn(io_,
                   engine_.link().dispatcher().Dispatch(MakeHeader(code, body.size()),
                                                        CommandBody{body, body}),
                   [](std::exception_ptr e, std::string) {
                     if (e) std::rethrow_exception(e);
                   });
    io_.restart();
    io_.run();
  }

  testing::TempDir dir_;
  CurrentDir cwd_;
  asio::io_context io_;
  Engine engine_;
};

TEST_F(CommandsTest, RecentListIsStoredAfterEverySendCommandOnly) {
  const std::string id = "kim";
  engine_.session().SetLogin(id, "pw");
  AddressBook& book = engine_.services().address_book();
  ASSERT_TRUE(book.OpenAddressBook());
  book.EnsureUserTable(id);
  struct Case {
    std::string code;
    std::string body;
    bool stores;
  };
  // Modes 0 and 1 without a passed send check: every send command refuses, and still stores.
  const Case cases[] = {
      {"DSEND", "0", true},  {"DSEND", "1<QX>1<QX>a<QX>", true},
      {"ESEND", "0", true},  {"ESEND", "1<QX>1<QX>a<QX>", true},
      {"ASEND", "0", true},  {"EXCEL", "2<QX>x", false},
      {"ADDRB", "4", false}, {"MYMSG", "", false},
      {"INITQ", "", false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code + " " + c.body);
    const std::string number = "0101111000" + std::to_string(n++ % 10);
    engine_.session().recent_numbers().Add(number);
    const std::string before = book.LoadRecentNumbers(id);
    Run(c.code, c.body);
    const std::string after = book.LoadRecentNumbers(id);
    EXPECT_EQ(after != before, c.stores) << before << " -> " << after;
    if (c.stores) {
      EXPECT_NE(after.find(number), std::string::npos) << after;
    }
  }
}

}  // namespace
}  // namespace parley
