#include "send/gateway_socket.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <asio/co_spawn.hpp>
#include <asio/error.hpp>
#include <asio/io_context.hpp>

#include "testing/gate_sim_process.h"
#include "send/skn_builder.h"
#include "testing/engine_process.h"

// GCC 12 pairs asio's coroutine frame allocation (aligned_alloc) with the frame's own operator
// delete, which frees it correctly, and warns of a mismatch that is not there.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace parley {
namespace {

using namespace std::chrono_literals;
using testing::GateJob;
using testing::GateSim;
using testing::TempDir;

constexpr std::chrono::milliseconds kLongWait = 10s;

JobHeader Header(std::string type_code = "SMS", int64_t count = 3) {
  return JobHeader{"user01", "secret", "title", std::move(type_code), count, kAckInterval, ""};
}

std::string Recipient(int i) { return "0101111" + std::to_string(10000 + i).substr(1); }

// Runs job on a fresh io_context with a socket pointed at port, until it ends.
void RunJob(uint16_t port, std::function<asio::awaitable<void>(GatewaySocket&)> job) {
  asio::io_context io;
  GatewaySocket socket(io.get_executor());
  socket.SetServer("127.0.0.1", port);
  bool done = false;
  asio::co_spawn(
      io,
      [&]() -> asio::awaitable<void> {
        co_await job(socket);
        done = true;
      },
      [](std::exception_ptr e) {
        if (e) std::rethrow_exception(e);
      });
  io.run_for(60s);
  EXPECT_TRUE(done) << "the job did not end";
}

// Sends count text messages, waiting for the acknowledgement after the messages with index 50,
// 100, ...; returns the first error and the index it came at (count when none).
asio::awaitable<std::pair<std::error_code, int>> SendPaced(GatewaySocket& socket, int count,
                                                           const std::string& text) {
  for (int i = 0; i < count; ++i) {
    if (auto ec = co_await socket.SendTextMessage(Recipient(i), "0212345678", text)) {
      co_return std::pair{ec, i};
    }
    if (i != 0 && i % kAckInterval == 0) {
      std::error_code ec = co_await socket.WaitReply(kLongWait);
      if (!ec && !socket.AckOk()) ec = make_error_code(std::errc::protocol_error);
      if (ec) co_return std::pair{ec, i};
    }
  }
  co_return std::pair{co_await socket.Flush(), count};
}

// A gateway that takes connections into a small receive buffer and does not read them unless
// ReadSlowly() is called: then it reads one connection in small pieces until the engine closes it,
// so that the engine's writes keep finding the send buffer full.
class NarrowGateway {
 public:
  static constexpr int kReceiveBuffer = 4096;
  static constexpr size_t kReadPiece = 1000;

  NarrowGateway() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&addr), len), 0);
    EXPECT_EQ(::listen(fd_, 1), 0);
    EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    port_ = ntohs(addr.sin_port);
  }
  ~NarrowGateway() {
    if (reader_.joinable()) reader_.join();
    ::close(fd_);
  }

  uint16_t port() const { return port_; }

  void ReadSlowly() {
    reader_ = std::thread([this] {
      const int conn = ::accept(fd_, nullptr, nullptr);
      char piece[kReadPiece];
      for (ssize_t n; (n = ::read(conn, piece, sizeof piece)) > 0;) {
        received_.append(piece, static_cast<size_t>(n));
      }
      ::close(conn);
    });
  }

  // What the connection carried; waits for the engine to close it.
  std::string Received() {
    reader_.join();
    return received_;
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  std::thread reader_;
  std::string received_;
};

class GatewaySocketTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

// How the first reply of a job comes back, for each way the gateway can answer.
TEST_F(GatewaySocketTest, JobReply) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::chrono::milliseconds timeout;
    std::error_code error;
    bool accepted;
    size_t job_id_size;
  };
  const Case cases[] = {
      {"accepted", {}, kLongWait, {}, true, 10},
      {"split into 1-byte pieces", {"--split", "--split-pause-ms", "2"}, kLongWait, {}, true, 10},
      {"40-character job id", {"--job-id-width", "40"}, kLongWait, {}, true, 40},
      {"refused", {"--refuse"}, kLongWait, {}, false, 10},
      {"bad type byte", {"--bad-type"}, kLongWait, GatewayError::kBadReplyType, false, 0},
      {"closed", {"--close-after", "0"}, kLongWait, GatewayError::kClosed, false, 0},
      {"silent", {"--silent"}, 200ms, GatewayError::kTimeout, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    GateSim sim(dir.path(), c.args);
    RunJob(sim.port(), [&](GatewaySocket& socket) -> asio::awaitable<void> {
      EXPECT_FALSE(co_await socket.SendJobHeader(Header()));
      auto started = std::chrono::steady_clock::now();
      EXPECT_EQ(co_await socket.WaitReply(c.timeout), c.error);
      if (c.error == GatewayError::kTimeout) {
        EXPECT_GE(std::chrono::steady_clock::now() - started, c.timeout);
      }
      EXPECT_EQ(socket.JobAccepted(), c.accepted);
      EXPECT_EQ(socket.JobId().size(), c.job_id_size);
      if (c.error) {
        EXPECT_EQ(std::string(socket.job_reply_record().data(), kJobReplySize),
                  std::string(kJobReplySize, '\0'));
      }
      EXPECT_EQ(socket.connected(), c.error != GatewayError::kClosed);
    });
    std::vector<GateJob> jobs = sim.WaitForJobs(1);
    ASSERT_EQ(jobs.size(), 1u);
    if (c.job_id_size > 0) {
      EXPECT_EQ(jobs[0].job_id.size(), c.job_id_size);
    }
  }
}

// Bytes that follow a complete reply in the same read are the next reply.
TEST_F(GatewaySocketTest, AcknowledgementInTheSameReadAsTheJobReply) {
  GateSim sim(dir_.path(), {"--ack-after-reply"});
  RunJob(sim.port(), [&](GatewaySocket& socket) -> asio::awaitable<void> {
    EXPECT_FALSE(co_await socket.SendJobHeader(Header()));
    EXPECT_FALSE(co_await socket.WaitReply(kLongWait));
    EXPECT_TRUE(socket.JobAccepted());
    EXPECT_FALSE(socket.AckOk());
    EXPECT_FALSE(co_await socket.WaitReply(1ms));
    EXPECT_TRUE(socket.AckOk());
    EXPECT_FALSE(socket.JobAccepted()) << "the job reply record is zeroed by each wait";
  });
}

// A reply trickling in does not move the deadline, and the part already read is kept.
TEST_F(GatewaySocketTest, DeadlineHoldsWhileAReplyTricklesIn) {
  GateSim sim(dir_.path(), {"--split", "--split-pause-ms", "20"});  // 43 bytes over ~840 ms
  RunJob(sim.port(), [&](GatewaySocket& socket) -> asio::awaitable<void> {
    EXPECT_FALSE(co_await socket.SendJobHeader(Header()));
    EXPECT_EQ(co_await socket.WaitReply(250ms), GatewayError::kTimeout);
    EXPECT_FALSE(co_await socket.WaitReply(kLongWait));
    EXPECT_TRUE(socket.JobAccepted());
    EXPECT_EQ(socket.JobId(), "J000000001");
  });
}

// 120 messages: waits after the messages with index 50 and 100 and none after the last 19. The
// simulator holds each acknowledgement 100 ms and notes how many messages it had by then.
TEST_F(GatewaySocketTest, AcknowledgementPacing) {
  GateSim sim(dir_.path(), {"--ack-delay-ms", "100"});
  const std::string text = "a<b>c \xBE\xC8\xB3\xE7";
  RunJob(sim.port(), [&](GatewaySocket& socket) -> asio::awaitable<void> {
    EXPECT_FALSE(co_await socket.SendJobHeader(Header("SMS", 120)));
    EXPECT_FALSE(co_await socket.WaitReply(kLongWait));
    EXPECT_TRUE(socket.JobAccepted());
    auto [ec, at] = co_await SendPaced(socket, 120, text);
    EXPECT_FALSE(ec) << ec.message() << " at " << at;
    EXPECT_EQ(socket.messages(), 120);
  });
  std::vector<GateJob> jobs = sim.WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  const GateJob& job = jobs[0];
  EXPECT_EQ(job.header.count, 120);
  EXPECT_EQ(job.header.interval, 50);
  EXPECT_EQ(job.end, "client closed");
  ASSERT_EQ(job.messages.size(), 120u);
  for (int i = 0; i < 120; ++i) {
    const testing::GateMessage& m = job.messages[static_cast<size_t>(i)];
    EXPECT_EQ(m.recipient, Recipient(i));
    EXPECT_EQ(m.callback, "0212345678");
    EXPECT_EQ(m.text, text);
  }
  ASSERT_EQ(job.acks.size(), 2u);
  EXPECT_EQ(job.acks[0].due, 50);
  EXPECT_EQ(job.acks[0].sent_at, 51) << "the sender went on without waiting";
  EXPECT_EQ(job.acks[1].due, 100);
  EXPECT_EQ(job.acks[1].sent_at, 101) << "the sender went on without waiting";
}

// What is about to leave is recorded first: the hook runs before every write, and a refusal sends
// nothing more.
TEST_F(GatewaySocketTest, EveryWriteWaitsForTheRecordOfWhatLeaves) {
  GateSim sim(dir_.path());
  std::vector<int64_t> queued_at_write;
  RunJob(sim.port(), [&](GatewaySocket& socket) -> asio::awaitable<void> {
    socket.SetBeforeWrite([&] {
      queued_at_write.push_back(socket.messages());
      return queued_at_write.size() < 3;  // the header, the first 51 messages, then no more
    });
    EXPECT_FALSE(co_await socket.SendJobHeader(Header("SMS", 120)));
    EXPECT_FALSE(co_await socket.WaitReply(kLongWait));
    auto [ec, at] = co_await SendPaced(socket, 120, "hi");
    EXPECT_EQ(ec, GatewayError::kNotRecorded);
    EXPECT_EQ(at, 100);
    EXPECT_FALSE(socket.connected());
  });
  EXPECT_EQ(queued_at_write, (std::vector<int64_t>{0, 51, 101}));
  std::vector<GateJob> jobs = sim.WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].messages.size(), 51u);
}

TEST_F(GatewaySocketTest, GatewayFailsMidJob) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::error_code error;
    int at;
    int64_t received;
  };
  const Case cases[] = {
      {"negative acknowledgement",
       {"--nak-at", "50"},
       make_error_code(std::errc::protocol_error),
       50,
       51},
      {"closed after 60", {"--close-after", "60"}, GatewayError::kClosed, 100, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    GateSim sim(dir.path(), c.args);
    RunJob(sim.port(), [&](GatewaySocket& socket) -> asio::awaitable<void> {
      EXPECT_FALSE(co_await socket.SendJobHeader(Header("SMS", 120)));
      EXPECT_FALSE(co_await socket.WaitReply(kLongWait));
      auto [ec, at] = co_await SendPaced(socket, 120, "hi");
      EXPECT_EQ(ec, c.error) << ec.message();
      EXPECT_EQ(at, c.at);
    });
    std::vector<GateJob> jobs = sim.WaitForJobs(1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].received, c.received);
  }
}

TEST_F(GatewaySocketTest, RefusedFieldsAndCutText) {
  GateSim sim(dir_.path());
  RunJob(sim.port(), [&](GatewaySocket& socket) -> asio::awaitable<void> {
    JobHeader bad = Header();
    bad.login_id.assign(20, 'u');
    EXPECT_EQ(co_await socket.SendJobHeader(bad), GatewayError::kFieldTooLong);
    EXPECT_FALSE(socket.connected()) << "a refused header opens no connection";

    JobHeader header = Header();
    header.title = std::string(60, 't');
    EXPECT_FALSE(co_await socket.SendJobHeader(header));
    EXPECT_EQ(socket.title_cut_bytes(), 11u);
    EXPECT_FALSE(co_await socket.WaitReply(kLongWait));
    EXPECT_FALSE(co_await socket.SendTextMessage("01011110000", "02", "fits"));
    EXPECT_EQ(co_await socket.SendTextMessage(std::string(20, '1'), "02", "x"),
              GatewayError::kFieldTooLong);
    EXPECT_FALSE(co_await socket.SendTextMessage("01011110002", "02", std::string(150, 'y')));
    EXPECT_FALSE(co_await socket.Flush());
    EXPECT_EQ(socket.messages(), 2);
    EXPECT_EQ(socket.cut_texts(), 1);
  });
  std::vector<GateJob> jobs = sim.WaitForJobs(1);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].header.title, std::string(49, 't'));
  ASSERT_EQ(jobs[0].messages.size(), 2u);
  EXPECT_EQ(jobs[0].messages[0].text, "fits");
  EXPECT_EQ(jobs[0].messages[1].text, std::string(99, 'y'));
}

// File messages carry the package from memory: one copied into the output buffer, one written
// straight from the caller's bytes.
TEST_F(GatewaySocketTest, FileMessages) {
  struct Case {
    size_t picture_size;
    int recipients;
  };
  for (const Case& c : {Case{40 * 1024, 60}, Case{300 * 1024, 3}}) {
    SCOPED_TRACE(c.picture_size);
    TempDir dir;
    std::string picture(c.picture_size, '\0');
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<char>(i * 31 + 7);
    std::ofstream(dir.path() / "a.jpg", std::ios::binary) << picture;
    CSKNBuilder builder;
    ASSERT_TRUE(builder.AddItem("TXT", "", "long text"));
    ASSERT_TRUE(builder.AddItem("IMG", "a.jpg", (dir.path() / "a.jpg").string()));
    const std::string package = builder.BuildPackage();

    GateSim sim(dir.path(), {"--ack-delay-ms", "50"});
    RunJob(sim.port(), [&](GatewaySocket& socket) -> asio::awaitable<void> {
      EXPECT_FALSE(co_await socket.SendJobHeader(Header(builder.TypeCode(), c.recipients)));
      EXPECT_FALSE(co_await socket.WaitReply(kLongWait));
      for (int i = 0; i < c.recipients; ++i) {
        EXPECT_FALSE(co_await socket.SendFileMessage(Recipient(i), "0212345678", package));
        if (i != 0 && i % kAckInterval == 0) {
          EXPECT_FALSE(co_await socket.WaitReply(kLongWait));
          EXPECT_TRUE(socket.AckOk());
        }
      }
      EXPECT_FALSE(co_await socket.Flush());
    });
    std::vector<GateJob> jobs = sim.WaitForJobs(1);
    ASSERT_EQ(jobs.size(), 1u);
    const GateJob& job = jobs[0];
    EXPECT_EQ(job.header.type_code, "IMT");
    ASSERT_EQ(job.messages.size(), static_cast<size_t>(c.recipients));
    EXPECT_EQ(job.messages.back().recipient, Recipient(c.recipients - 1));
    EXPECT_EQ(job.messages.back().size, static_cast<int64_t>(package.size()));
    ASSERT_EQ(job.packages.size(), 1u) << "every recipient got the same bytes";
    EXPECT_EQ(job.packages[0].bytes, package);
    EXPECT_EQ(job.acks.size(), static_cast<size_t>(c.recipients / 50));
    for (const auto& ack : job.acks) EXPECT_EQ(ack.sent_at, ack.due + 1);
  }
}

TEST_F(GatewaySocketTest, NothingListening) {
  RunJob(testing::FreePort(), [&](GatewaySocket& socket) -> asio::awaitable<void> {
    std::error_code ec = co_await socket.SendJobHeader(Header());
    EXPECT_EQ(ec, asio::error::connection_refused) << ec.message();
    EXPECT_FALSE(socket.connected());
    EXPECT_EQ(co_await socket.WaitReply(1s), GatewayError::kClosed);
    EXPECT_FALSE(socket.JobAccepted());
  });
}

// Writes that the send buffer takes only in part go on, in order, from where they stopped: text
// packets gathered before a large file, each file whole, the text packets after it.
TEST_F(GatewaySocketTest, PartialWritesKeepTheBytesInOrder) {
  NarrowGateway gateway;
  gateway.ReadSlowly();
  std::string expected;
  RunJob(gateway.port(), [&](GatewaySocket& socket) -> asio::awaitable<void> {
    JobHeader header = Header("IMT", 8);
    EXPECT_FALSE(co_await socket.SendJobHeader(header));
    expected.resize(kJobHeaderSize);
    BuildJobHeader(header, std::span<char, kJobHeaderSize>(expected.data(), kJobHeaderSize));
    for (int i = 0; i < 4; ++i) {
      // A different file each time, so a piece sent twice or out of place shows.
      std::string file(300 * 1024 + static_cast<size_t>(i), '\0');
      for (size_t k = 0; k < file.size(); ++k)
        file[k] = static_cast<char>(k * 7 + k / 251 + static_cast<size_t>(i));
      char head[kFileMessageHeadSize];
      BuildFileMessageHead(Recipient(i), "02", static_cast<int64_t>(file.size()), head);
      EXPECT_FALSE(co_await socket.SendFileMessage(Recipient(i), "02", file));
      expected.append(head, sizeof head).append(file);
      char text[kTextMessageSize];
      BuildTextMessage(Recipient(i), "02", "between", text);
      EXPECT_FALSE(co_await socket.SendTextMessage(Recipient(i), "02", "between"));
      expected.append(text, sizeof text);
    }
    EXPECT_FALSE(co_await socket.Flush());
    socket.Close();
  });
  const std::string received = gateway.Received();
  ASSERT_EQ(received.size(), expected.size());
  EXPECT_TRUE(received == expected) << "the bytes arrived out of order";
}

// A gateway that stops reading fails the job after the I/O time-out, also in the middle of a
// file that is written straight from the caller's bytes.
TEST_F(GatewaySocketTest, GatewayThatStopsReadingTimesOut) {
  NarrowGateway gateway;  // never reads
  RunJob(gateway.port(), [&](GatewaySocket& socket) -> asio::awaitable<void> {
    socket.SetIoTimeout(200ms);
    EXPECT_FALSE(co_await socket.SendJobHeader(Header("IMT", 999)));
    const std::string file(300 * 1024, 'f');
    std::error_code ec;
    for (int i = 0; i < 999 && !ec; ++i) {
      ec = co_await socket.SendFileMessage(Recipient(i), "02", file);
    }
    EXPECT_EQ(ec, GatewayError::kTimeout) << ec.message();
    EXPECT_FALSE(socket.connected());
  });
}

}  // namespace
}  // namespace parley
