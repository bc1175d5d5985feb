#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>

#include "send/gateway_records.h"
#include "testing/gate_sim_process.h"

namespace parley::testing {
namespace {

// A sender that writes raw bytes, to show how the simulator ends a job.
class RawSender {
 public:
  explicit RawSender(uint16_t port) : socket_(io_) {
    socket_.connect({asio::ip::make_address("127.0.0.1"), port});
  }
  void Send(std::string_view bytes) { asio::write(socket_, asio::buffer(bytes)); }
  void SendJob(int messages) {
    std::array<char, kJobHeaderSize> header;
    BuildJobHeader(JobHeader{"user", "pw", "t", "SMS", messages, kAckInterval, ""}, header);
    Send(std::string_view(header.data(), header.size()));
    std::array<char, kTextMessageSize> message;
    for (int i = 0; i < messages; ++i) {
      BuildTextMessage("010", "02", "hi", message);
      Send(std::string_view(message.data(), message.size()));
    }
  }

 private:
  asio::io_context io_;
  asio::ip::tcp::socket socket_;
};

TEST(GateServerTest, HowJobsEnd) {
  struct Case {
    const char* name;
    std::string after_messages;  // raw bytes sent after three messages
    bool stop;                   // SIGTERM while the connection is still open
    std::string end;
  };
  const Case cases[] = {
      {"signal", "", true, "signal"},
      {"bad packet", "X", false, "protocol error: byte 0x58 where a packet should start"},
      {"cut inside a packet", "3", true, "signal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    GateSim sim(dir.path());
    RawSender sender(sim.port());
    sender.SendJob(3);
    sender.Send(c.after_messages);
    std::string log;
    if (c.stop) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      log = sim.Stop();
    }
    std::vector<GateJob> jobs = sim.WaitForJobs(1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].end, c.end);
    EXPECT_EQ(jobs[0].received, 3);
    EXPECT_EQ(jobs[0].messages.size(), 3u);
    if (c.stop) {
      EXPECT_NE(log.find("gatesim summary: jobs=1 messages=3 "), std::string::npos) << log;
    }
  }
}

}  // namespace
}  // namespace parley::testing
