#include "link/dispatch.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>

#include "link/message.h"

namespace parley {
namespace {

class DispatchTest : public ::testing::Test {
 protected:
  DispatchTest() {
    dispatcher_.SetHandler(kCmdLogin,
                           SyncHandler([](const std::string& body) { return "login:" + body; }));
    for (int n : {kCmdDSend, kCmdESend, kCmdASend, kCmdExcel}) {
      dispatcher_.SetHandler(n, SyncHandler([](const std::string&) { return std::string(); }));
    }
    dispatcher_.SetEndHandler([this](int value) -> asio::awaitable<void> {
      end_values_.push_back(value);
      co_return;
    });
  }

  std::string Run(std::string header, std::string body) {
    asio::io_context io;
    std::string reply;
    asio::co_spawn(io, dispatcher_.Dispatch(std::move(header), CommandBody{body, body}),
                   [&](std::exception_ptr e, std::string r) {
                     if (e) std::rethrow_exception(e);
                     reply = std::move(r);
                   });
    io.run();
    return reply;
  }

  CommandDispatcher dispatcher_;
  std::vector<int> end_values_;
};

TEST(FindCommand, MatchesTheFirstFiveCharactersExactly) {
  struct Case {
    std::string_view header;
    int number;
  };
  const Case cases[] = {
      {"LOGINQX0.10         ", kCmdLogin},
      {"ENDQXQX0.11         ", kCmdEndQx},
      {"ASEND", kCmdASend},
      {"loginQX0.10         ", kCmdInit},
      {"INITQX0.10         ", kCmdInit},
      {"LOGI", kCmdInit},
      {"", kCmdInit},
      {"XXXXXQX0.10         ", kCmdInit},
      {"SENDLxxxx", kCmdSendL},
      {"CASHL", kCmdCashL},
      // The extensions, read as the described codes are.
      {"STATEQX0.10         ", kCmdState},
      {"CANCL", kCmdCancl},
      {"STAT", kCmdInit},
      {"cancl", kCmdInit},
  };
  for (const auto& c : cases) EXPECT_EQ(FindCommand(c.header), c.number) << c.header;
}

TEST_F(DispatchTest, FramesTheHandlerTextAsTheReply) {
  EXPECT_EQ(Run(MakeHeader("LOGIN", 6), "a<QX>b"), MakeMessage("LOGIN", "login:a<QX>b"));
}

TEST_F(DispatchTest, UnknownCodesGetAnEmptyInitReply) {
  for (std::string header :
       {"INITQX0.13         ", "loginQX0.13         ", "ABCDEQX0.13         ", "LOG"}) {
    EXPECT_EQ(Run(header, "xyz"), "INITQX0.10         ") << header;
  }
}

TEST_F(DispatchTest, CommandsWithoutAHandlerAnswerWithAnEmptyBody) {
  EXPECT_EQ(Run(MakeHeader("MYMSG", 0), ""), "MYMSGQX0.10         ");
}

TEST_F(DispatchTest, EndGetsTheBodysIntegerValueAndAnEmptyReply) {
  for (std::string body : {"0", "", "abc", "00", "1", "-1", " 7x"}) {
    EXPECT_EQ(Run(MakeHeader("ENDQX", body.size()), body), "ENDQXQX0.10         ") << body;
  }
  EXPECT_EQ(end_values_, (std::vector<int>{0, 0, 0, 0, 1, -1, 7}));
}

}  // namespace
}  // namespace parley
