// Load through the engine binary against the web service and gateway simulators: a long pipeline
// of commands on one connection, a thousand short connections, two picture sends at once while
// the gateway holds its acknowledgements, long sends pipelined while the gateway is silent, and
// large replies pipelined to a client that does not read, and workbooks of a few KB that would
// take gigabytes to load.
// Replies, jobs, open descriptors and memory are checked; load_bench prints the figures.
#include <sys/socket.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "excel/workbook_bomb.h"
#include "testing/gate_sim_process.h"
#include "link/message.h"
#include "client/link_client.h"
#include "send/direct_send.h"
#include "send/skn_package.h"
#include "testing/engine_process.h"
#include "testing/web_sim_process.h"

// Set in a build with AddressSanitizer: GCC says so with __SANITIZE_ADDRESS__, clang with
// __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define PARLEY_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PARLEY_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef PARLEY_ADDRESS_SANITIZER
#define PARLEY_ADDRESS_SANITIZER 0
#endif

namespace parley {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kInitHeader = "INITQX0.10         ";

// Open descriptors of process pid, or -1 when they cannot be listed.
int FdCount(pid_t pid) {
  std::error_code ec;
  std::filesystem::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", ec);
  if (ec) return -1;
  int n = 0;
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) ++n;
  return n;
}

// A figure of /proc/<pid>/status in kB ("VmRSS", "VmHWM"), or -1.
int64_t StatusKb(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(field + ":")) return std::atoll(line.c_str() + field.size() + 1);
  }
  return -1;
}

// Recipient numbers first, first + 1, ... as a comma-separated list.
std::string Numbers(int first, int n) {
  std::string list;
  for (int i = first; i < first + n; ++i) {
    if (i > first) list += ',';
    list += "010" + std::to_string(100000000 + i).substr(1);
  }
  return list;
}

class LoadEngineTest : public ::testing::Test {
 protected:
  LoadEngineTest() : web_(dir_.path()) {}

  // Starts the gateway simulator with `gate_args` and the engine pointed at both simulators,
  // waiting up to `gateway_timeout` seconds for each gateway reply.
  void Start(std::vector<std::string> gate_args = {}, int gateway_timeout = 5) {
    gate_ = std::make_unique<testing::GateSim>(dir_.path(), std::move(gate_args));
    link_port_ = testing::FreePort();
    engine_ = std::make_unique<testing::ChildProcess>(
        testing::EngineBinary(),
        std::vector<std::string>{"--link-port", std::to_string(link_port_), "--ui-program", "none",
                                 "--home", dir_.path().string(), "--web-base", web_.base_url(),
                                 "--web-port", std::to_string(web_.port()), "--gateway",
                                 "127.0.0.1:" + std::to_string(gate_->port()), "--gateway-timeout",
                                 std::to_string(gateway_timeout), "--log-level", "info"},
        dir_.path() / "engine.log");
    ASSERT_TRUE(engine_->WaitForLog("listening on", 10000)) << engine_->Log();
  }

  void Connect(LinkClient& c) {
    std::string error;
    ASSERT_TRUE(c.Connect("127.0.0.1", link_port_, &error)) << error;
  }

  RawMessage Read(LinkClient& c) {
#if PARLEY_ADDRESS_SANITIZER
    // The workbook readers are instrumented there (the general XML parser they replaced was a
    // system library, read at full speed): a bomb of 100 MB takes some seconds more.
    constexpr int kReplyMs = 120000;
#else
    constexpr int kReplyMs = 20000;
#endif
    std::string error;
    RawMessage m;
    EXPECT_TRUE(c.ReadMessage(&m, kReplyMs, &error)) << error << "\n" << engine_->Log();
    return m;
  }

  RawMessage Exchange(LinkClient& c, std::string_view code, std::string_view body) {
    std::string error;
    EXPECT_TRUE(c.SendMessage(code, body, &error)) << error;
    return Read(c);
  }

  // Waits up to 5 s for the engine's descriptors to come down to at most `limit`; returns the
  // last count.
  int SettledFdCount(int limit) {
    int n = FdCount(engine_->pid());
    for (int i = 0; i < 250 && n > limit; ++i) {
      std::this_thread::sleep_for(20ms);
      n = FdCount(engine_->pid());
    }
    return n;
  }

  testing::TempDir dir_;
  testing::WebSim web_;
  std::unique_ptr<testing::GateSim> gate_;
  std::unique_ptr<testing::ChildProcess> engine_;
  uint16_t link_port_ = 0;
};

TEST_F(LoadEngineTest, TenThousandPipelinedCommandsAreAnsweredInOrder) {
  ASSERT_NO_FATAL_FAILURE(Start());
  LinkClient c;
  ASSERT_NO_FATAL_FAILURE(Connect(c));
  const std::string recent = Exchange(c, "ADDRB", "4").body;
  ASSERT_EQ(recent.substr(0, 5), "4<QX>");
  const int fds_before = FdCount(engine_->pid());

  struct Kind {
    std::string_view code;
    std::string_view body;
    std::string_view reply_code;
    std::string reply_body;
  };
  const Kind kinds[] = {
      {"INIT", "", "INIT", ""},
      {"QQQQQ", "x<QX>y", "INIT", ""},  // unknown code
      {"login", "a<QX>b", "INIT", ""},  // codes are case-sensitive
      {"ADDRB", "4", "ADDRB", recent},
      {"ADDRB", "9", "ADDRB", ""},  // unknown sub-command: empty body
  };
  // Runs of varying length, so that a reply answering the wrong message shows.
  constexpr size_t kCommands = 10000;
  std::mt19937 random(20261210);
  std::vector<size_t> sent;
  std::string stream;
  while (sent.size() < kCommands) {
    const size_t kind = random() % std::size(kinds);
    for (unsigned run = random() % 4; run < 4 && sent.size() < kCommands; ++run) {
      sent.push_back(kind);
      stream += MakeMessage(kinds[kind].code, kinds[kind].body);
    }
  }
  // One big write from another thread: the engine stops reading while 256 replies are unread,
  // so the writer would block if this thread did not read meanwhile.
  std::string write_error;
  bool written = false;
  std::thread writer([&] { written = c.Write(stream, &write_error); });
  size_t answered = 0;
  for (; answered < kCommands; ++answered) {
    std::string error;
    RawMessage m;
    if (!c.ReadMessage(&m, 20000, &error)) {
      ADD_FAILURE() << "reply " << answered << ": " << error;
      break;
    }
    const Kind& k = kinds[sent[answered]];
    if (m.header.substr(0, k.reply_code.size()) != k.reply_code || m.body != k.reply_body) {
      ADD_FAILURE() << "reply " << answered << " to " << k.code << " " << k.body << ": " << m.header
                    << m.body;
      break;
    }
  }
  if (answered < kCommands) ::shutdown(c.fd(), SHUT_RDWR);  // unblocks the writer
  writer.join();
  EXPECT_TRUE(written) << write_error;
  EXPECT_EQ(answered, kCommands);
  EXPECT_EQ(Exchange(c, "INIT", "").header, kInitHeader);
  EXPECT_LE(FdCount(engine_->pid()), fds_before + 2);
}

TEST_F(LoadEngineTest, AThousandConnectionsLeaveNoDescriptorBehind) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const int fds_before = FdCount(engine_->pid());
  ASSERT_GT(fds_before, 0);

  // Apart from those closed at once, every cycle first checks that the engine serves the new
  // connection, so at most one closed connection waits in the listen queue; then it leaves with
  // nothing pending, with a message cut off, with one reply unread, or with more messages
  // unanswered than the engine takes in at a time.
  const std::string half = MakeHeader("ADDRB", 100) + "4<QX>12345";
  std::string many;
  for (int k = 0; k < 300; ++k) many += MakeMessage("ADDRB", "4");
  for (int i = 0; i < 1000; ++i) {
    LinkClient c;
    ASSERT_NO_FATAL_FAILURE(Connect(c));
    if (i % 5 == 0) continue;
    const RawMessage m = Exchange(c, "INIT", "");
    ASSERT_EQ(m.header, kInitHeader) << "cycle " << i;
    std::string error;
    if (i % 5 == 2) {
      ASSERT_TRUE(c.Write(half, &error)) << error;
    } else if (i % 5 == 3) {
      ASSERT_TRUE(c.SendMessage("ADDRB", "4", &error)) << error;
    } else if (i % 5 == 4) {
      ASSERT_TRUE(c.Write(many, &error)) << error;
    }
  }
  LinkClient last;
  ASSERT_NO_FATAL_FAILURE(Connect(last));
  EXPECT_EQ(Exchange(last, "INIT", "").header, kInitHeader);
  last.Close();
  EXPECT_LE(SettledFdCount(fds_before + 1), fds_before + 1);
  EXPECT_TRUE(engine_->Running());
}

TEST_F(LoadEngineTest, TwoPictureSendsAtOnceEachSendTheirOwnPackage) {
  // Held acknowledgements keep each job waiting, so the second runs while the first waits.
  ASSERT_NO_FATAL_FAILURE(Start({"--ack-delay-ms", "300"}));
  const std::filesystem::path images = dir_.path() / "TempIMG";
  std::filesystem::create_directories(images);
  std::ofstream(images / "a.jpg", std::ios::binary) << std::string(3000, 'A');
  std::ofstream(images / "b.jpg", std::ios::binary) << std::string(500, 'B');

  struct Job {
    int first;  // number of the first recipient
    int count;
    std::string text;
    std::string picture;
  };
  // The first waits for three acknowledgements; the second is too short to wait for any.
  const Job jobs[] = {{0, 160, "first job", "a.jpg"}, {5000, 40, "second job", "b.jpg"}};

  LinkClient c;
  ASSERT_NO_FATAL_FAILURE(Connect(c));
  ASSERT_EQ(Exchange(c, "LOGIN", "qxuser<QX>qxpass").body.substr(0, 6), "2<QX>1");
  ASSERT_EQ(Exchange(c, "DSEND", "4<QX>160<QX>3<QX>").body.substr(0, 20), "QXSENDABLECHECK<QX>1");
  const int fds_before = FdCount(engine_->pid());
  std::string stream;
  for (const Job& j : jobs) {
    stream += MakeMessage("DSEND", "3<QX>" + std::to_string(j.count) + "<QX><QX><QX>" +
                                       Numbers(j.first, j.count) + "<QX>0212345678<QX>" + j.text +
                                       "<QX><IMG>" + j.picture);
  }
  stream += MakeMessage("INIT", "");
  std::string error;
  ASSERT_TRUE(c.Write(stream, &error)) << error;

  // INIT is answered while the first waits; one gateway job runs at a time, so the second job
  // starts when the first has ended.
  EXPECT_EQ(Read(c).header, kInitHeader);
  for (int k : {0, 1}) {
    const RawMessage m = Read(c);
    EXPECT_EQ(m.header.substr(0, 5), "DSEND");
    EXPECT_EQ(m.body.substr(0, m.body.find("<QX>")), SentText(jobs[k].count)) << k;
  }

  const std::vector<testing::GateJob> done = gate_->WaitForJobs(2);
  ASSERT_EQ(done.size(), 2u) << gate_->Log();
  for (const Job& j : jobs) {
    SCOPED_TRACE(j.text);
    const testing::GateJob* job = nullptr;
    for (const testing::GateJob& g : done) {
      if (g.header.count == j.count) job = &g;
    }
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->header.type_code, "IMT");
    ASSERT_EQ(job->packages.size(), 1u);
    ASSERT_EQ(job->messages.size(), static_cast<size_t>(j.count));
    const std::vector<std::string> numbers = [&] {
      std::vector<std::string> v;
      const std::string list = Numbers(j.first, j.count);
      for (size_t at = 0; at < list.size(); at += 12) v.push_back(list.substr(at, 11));
      return v;
    }();
    for (size_t i = 0; i < job->messages.size(); ++i) {
      EXPECT_EQ(job->messages[i].recipient, numbers[i]);
      EXPECT_EQ(job->messages[i].checksum, job->packages[0].checksum);
    }
    const std::optional<SknPackage> package = ParseSknPackage(job->packages[0].bytes);
    ASSERT_TRUE(package.has_value());
    ASSERT_EQ(package->items.size(), 2u);
    EXPECT_EQ(package->items[0].data, j.text);
    EXPECT_EQ(package->items[1].file_name, j.picture);
  }
  EXPECT_EQ(Exchange(c, "INIT", "").header, kInitHeader);
  EXPECT_LE(SettledFdCount(fds_before), fds_before) << "gateway connections left open";
}

TEST_F(LoadEngineTest, LongSendsPipelinedBehindEachOtherKeepMemoryBounded) {
#if PARLEY_ADDRESS_SANITIZER
  GTEST_SKIP() << "the sanitizer's own bookkeeping hides the engine's memory figures";
#endif
  // A silent gateway keeps each job waiting for its job reply until the one-second time-out.
  ASSERT_NO_FATAL_FAILURE(Start({"--silent"}, 1));
  LinkClient c;
  ASSERT_NO_FATAL_FAILURE(Connect(c));
  ASSERT_EQ(Exchange(c, "LOGIN", "qxuser<QX>qxpass").body.substr(0, 6), "2<QX>1");
  ASSERT_EQ(Exchange(c, "DSEND", "4<QX>9999<QX>1<QX>").body.substr(0, 20), "QXSENDABLECHECK<QX>1");
  // 12 MB a message; eight of them would hold hundreds of MB if all were taken in at once.
  constexpr int kSends = 8;
  const std::string send =
      MakeMessage("DSEND", "1<QX>999999<QX>T<QX><QX>" + Numbers(0, 999999) + "<QX>0212345678<QX>x");
  const int64_t rss_before = StatusKb(engine_->pid(), "VmRSS");
  const int fds_before = FdCount(engine_->pid());
  std::string write_error;
  bool written = true;
  std::thread writer([&] {
    for (int k = 0; k < kSends && written; ++k) written = c.Write(send, &write_error);
  });
  int failed = 0;
  for (; failed < kSends; ++failed) {
    const RawMessage m = Read(c);
    if (m.body.substr(0, m.body.find("<QX>")) != kSendFailedText) break;
  }
  if (failed < kSends) ::shutdown(c.fd(), SHUT_RDWR);  // unblocks the writer
  writer.join();
  ASSERT_EQ(failed, kSends) << "answered with the failure text";
  EXPECT_TRUE(written) << write_error;
  const int64_t growth_mb = (StatusKb(engine_->pid(), "VmHWM") - rss_before) / 1024;
  EXPECT_LT(growth_mb, 200) << "peak growth in MB while " << kSends << " sends of "
                            << send.size() / 1000000 << " MB were pipelined";
  EXPECT_EQ(Exchange(c, "INIT", "").header, kInitHeader);
  EXPECT_LE(SettledFdCount(fds_before), fds_before) << "gateway connections left open";
}

TEST_F(LoadEngineTest, LargeRepliesToAClientThatDoesNotReadKeepMemoryBounded) {
#if PARLEY_ADDRESS_SANITIZER
  GTEST_SKIP() << "the sanitizer's own bookkeeping hides the engine's memory figures";
#endif
  ASSERT_NO_FATAL_FAILURE(Start());
  LinkClient c;
  ASSERT_NO_FATAL_FAILURE(Connect(c));
  ASSERT_EQ(Exchange(c, "LOGIN", "qxuser<QX>qxpass").body.substr(0, 6), "2<QX>1");
  // Each SENDL of the list alone fetches one page, here 15 MB of filler, and answers it as one
  // row of about the same size; forty of them would hold 600 MB if all were answered at once.
  constexpr int kRequests = 40;
  constexpr size_t kPageBytes = 15 * 1024 * 1024;
  ASSERT_EQ(web_.Control("/_sim/page?bytes=" + std::to_string(kPageBytes) +
                         "&count=" + std::to_string(kRequests)),
            "OK");
  const std::string sendl = MakeMessage("SENDL", "2<QX>20260101<QX>20261231<QX><QX><QX>1<QX>1");
  std::string pipeline;
  for (int k = 0; k < kRequests; ++k) pipeline += sendl;
  auto pages_asked = [&] {
    int n = 0;
    for (const std::string& r : web_.Requests()) n += r.starts_with("GET /Ajax/GetSendStat.asp");
    return n;
  };
  const int64_t rss_before = StatusKb(engine_->pid(), "VmRSS");
  std::string error;
  ASSERT_TRUE(c.Write(pipeline, &error)) << error;
  // The client reads nothing until the engine has asked for every page or has stopped asking.
  int asked = pages_asked();
  for (int still = 0; asked < kRequests && still < 5; ++still) {
    std::this_thread::sleep_for(300ms);
    const int now = pages_asked();
    if (now != asked) still = 0;
    asked = now;
  }
  const int64_t held_mb = (StatusKb(engine_->pid(), "VmHWM") - rss_before) / 1024;
  EXPECT_LT(held_mb, 200) << "peak growth in MB with " << asked << " of " << kRequests
                          << " pages fetched for a client that does not read";
  // Once the client reads, every request is answered, in order.
  for (int k = 0; k < kRequests; ++k) {
    const RawMessage m = Read(c);
    ASSERT_EQ(m.header.substr(0, 5), "SENDL") << k;
    EXPECT_EQ(m.body.substr(0, 10), "2<DATA>xxx") << k;
    EXPECT_GE(m.body.size(), kPageBytes) << k;
  }
  const int64_t growth_mb = (StatusKb(engine_->pid(), "VmHWM") - rss_before) / 1024;
  EXPECT_LT(growth_mb, 200) << "peak growth in MB while the replies were read";
  EXPECT_EQ(Exchange(c, "INIT", "").header, kInitHeader);
}

// Each bomb, the shapes the load budget refuses at their full size, a few KB to a few MB on disk:
// EXCEL 1 answers an Exception naming the limit, INIT is answered after each, and the engine's
// peak memory stays within the budget. Sheets sharing one part load as one sheet, read once, and
// a thousand sheets that each widen load at once.
TEST_F(LoadEngineTest, WorkbookBombsAreRefusedAndTheEngineKeepsAnswering) {
#if PARLEY_ADDRESS_SANITIZER
  // Reading a gigabyte of bomb to its limit takes minutes with every read instrumented, and the
  // memory figure means nothing there; the readers meet bombs under the sanitizer in the workbook
  // tests and the fuzzers.
  GTEST_SKIP() << "the bombs are read to their limits in the plain build";
#endif
  ASSERT_NO_FATAL_FAILURE(Start());
  LinkClient c;
  ASSERT_NO_FATAL_FAILURE(Connect(c));
  constexpr uint64_t kMiB = uint64_t{1} << 20;
  using Writer = std::function<bool(const std::filesystem::path&, std::string*)>;
  struct Bomb {
    const char* file;
    Writer write;
    std::string_view reply;  // how the reply starts
  };
  constexpr std::string_view kRefused =
      "1<QX>Exception:[the workbook is over its load limit: more than ";
  const Bomb bombs[] = {
      {"rows.ods",
       [](const auto& p, std::string* e) {
         return WriteOdsRepeatBomb(p, 32768, 16384, 1048576, e);
       },
       kRefused},
      {"wide.ods",
       [&](const auto& p, std::string* e) {
         return WriteOdsRepeatBomb(p, 16 * kMiB, 16384, 1048576, e);
       },
       kRefused},
      {"counts.ods",
       [](const auto& p, std::string* e) {
         return WriteOdsRepeatBomb(p, 1, 999999999, 999999999, e);
       },
       kRefused},
      {"strings.xlsx",  // 2 GiB of cells naming one 32 KB string
       [&](const auto& p, std::string* e) {
         return WriteXlsxSharedStringBomb(p, 32768, 2048 * kMiB / 22, e);
       },
       kRefused},
      {"tag.xlsx",
       [&](const auto& p, std::string* e) { return WriteXlsxAttributeBomb(p, 1024 * kMiB, e); },
       kRefused},
      {"widening.ods",  // 1000 sheets whose tables each widen to 256 columns
       [](const auto& p, std::string* e) { return WriteOdsWideningSheets(p, 1000, e); },
       "1<QX>S1<QX>"},
      {"parts.xlsx",  // 200 sheets on one part of 100 MB
       [&](const auto& p, std::string* e) {
         return WriteXlsxSharedPartBomb(p, 200, 100 * kMiB / 15, e);
       },
       "1<QX>S1<QX>"},
  };
  const int64_t rss_before = StatusKb(engine_->pid(), "VmRSS");
  for (const Bomb& bomb : bombs) {
    SCOPED_TRACE(bomb.file);
    const std::filesystem::path file = dir_.path() / bomb.file;
    std::string error;
    ASSERT_TRUE(bomb.write(file, &error)) << error;
    EXPECT_LT(std::filesystem::file_size(file), 8 * kMiB);
    const std::string reply = Exchange(c, "EXCEL", "1<QX>" + file.string()).body;
    EXPECT_TRUE(reply.starts_with(bomb.reply)) << reply.substr(0, 200);
    if (std::string_view(bomb.file) == "parts.xlsx") {
      EXPECT_EQ(reply.find("<QX>S2<QX>"), std::string::npos) << "a part read twice";
    }
    EXPECT_EQ(Exchange(c, "INIT", "").header, kInitHeader);
  }
  const int64_t growth_mb = (StatusKb(engine_->pid(), "VmHWM") - rss_before) / 1024;
  EXPECT_LT(growth_mb, 512) << "peak growth in MB while the bombs were read";
}

}  // namespace
}  // namespace parley
