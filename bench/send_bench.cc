// Measures the direct send pipelines against the gateway simulator on loopback, beside a minimal
// sender that pushes the same bytes with the same acknowledgement pacing and does nothing else.
//
//   send_bench [--sms N] [--mms N] [--package-kb K]
//
// Prints messages/s and MB/s of each, their ratio, and the peak RSS of this process.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>

#include "gatesim/gate_sim_process.h"
#include "send/direct_send.h"
#include "send/gateway_records.h"
#include "testing/engine_process.h"

namespace parley {
namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
  double seconds = 0;
  int64_t messages = 0;
  int64_t bytes = 0;
  bool ok = false;
};

std::string NumberOf(int64_t i) { return "010" + std::to_string(100000000 + i).substr(1); }

std::string RecipientList(int64_t n) {
  std::string list;
  list.reserve(static_cast<size_t>(n) * 12);
  for (int64_t i = 0; i < n; ++i) {
    if (i > 0) list += ',';
    list += NumberOf(i);
  }
  return list;
}

// The minimal sender: a blocking socket, one write per group of messages, one read per reply.
class BaselineSender {
 public:
  explicit BaselineSender(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
      throw std::runtime_error("baseline: connect failed");
    }
  }
  ~BaselineSender() { ::close(fd_); }

  void Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("baseline: write failed");
      done += static_cast<size_t>(n);
    }
  }
  void Read(size_t size) {
    char buf[64];
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::read(fd_, buf + done, size - done);
      if (n <= 0) throw std::runtime_error("baseline: read failed");
      done += static_cast<size_t>(n);
    }
  }

 private:
  int fd_ = -1;
};

// Sends count messages: a text packet each, or a file head and `package` each.
Figures RunBaseline(uint16_t port, int64_t count, const std::string* package) {
  const auto start = Clock::now();
  BaselineSender s(port);
  JobHeader header;
  header.login_id = "qxuser";
  header.password = "qxpass";
  header.title = "bench";
  header.type_code = package ? "IMT" : "SMS";
  header.count = count;
  std::string out(kJobHeaderSize, '\0');
  BuildJobHeader(header, std::span<char, kJobHeaderSize>(out.data(), kJobHeaderSize));
  s.Write(out);
  s.Read(kJobReplySize);
  out.clear();
  Figures f;
  f.bytes = kJobHeaderSize;
  for (int64_t i = 0; i < count; ++i) {
    const std::string recipient = NumberOf(i);
    if (package) {
      char head[kFileMessageHeadSize];
      BuildFileMessageHead(recipient, "021234567", static_cast<int64_t>(package->size()),
                           std::span<char, kFileMessageHeadSize>(head, kFileMessageHeadSize));
      out.append(head, kFileMessageHeadSize);
      out += *package;
    } else {
      char packet[kTextMessageSize];
      BuildTextMessage(recipient, "021234567", "bench message",
                       std::span<char, kTextMessageSize>(packet, kTextMessageSize));
      out.append(packet, kTextMessageSize);
    }
    if (i != 0 && i % kAckInterval == 0) {
      s.Write(out);
      f.bytes += static_cast<int64_t>(out.size());
      out.clear();
      s.Read(kAcknowledgementSize);
    }
  }
  s.Write(out);
  f.bytes += static_cast<int64_t>(out.size());
  f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  f.messages = count;
  f.ok = true;
  return f;
}

// Runs one job of the engine's pipeline on an io_context of its own.
Figures RunPipeline(uint16_t port, int64_t count, bool mms, const std::string& home) {
  asio::io_context io(1);
  SendSetup setup;
  setup.executor = io.get_executor();
  setup.gateway_host = "127.0.0.1";
  setup.gateway_port = port;
  setup.timeout = std::chrono::seconds(30);
  setup.module_dir = home + "/";
  setup.login_id = "qxuser";
  setup.password = "qxpass";
  const std::string recipients = RecipientList(count);
  SendResult result;
  const auto start = Clock::now();
  auto job = [&]() -> asio::awaitable<void> {
    // The order as the DSEND handler builds it from the request's fields.
    DirectOrder order;
    order.kind = mms ? SendKind::kMms : SendKind::kSms;
    order.count = count;
    order.title = "bench";
    order.recipients = recipients;
    order.callback = "02-123-4567";
    order.text = "bench message";
    if (mms) order.pictures = {"picture.jpg"};
    result = co_await SendDirect(setup, std::move(order));
  };
  asio::co_spawn(io, job(), asio::detached);
  io.run();
  Figures f;
  f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  f.messages = count;
  f.ok = result.outcome == SendOutcome::kSent && result.count == count;
  return f;
}

int64_t PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void Print(const char* what, const Figures& f, int64_t bytes) {
  std::printf("  %-9s %10lld messages in %7.3f s: %12.0f messages/s %9.1f MB/s%s\n", what,
              static_cast<long long>(f.messages), f.seconds,
              static_cast<double>(f.messages) / f.seconds,
              static_cast<double>(bytes) / f.seconds / 1e6, f.ok ? "" : "  (FAILED)");
}

void Compare(const char* name, const Figures& engine, const Figures& baseline) {
  std::printf("%s\n", name);
  Print("engine", engine, baseline.bytes);
  Print("baseline", baseline, baseline.bytes);
  std::printf("  engine time / baseline time: %.2f\n", engine.seconds / baseline.seconds);
}

}  // namespace
}  // namespace parley

int main(int argc, char** argv) {
  int64_t sms = 100000;
  int64_t mms = 1000;
  int64_t package_kb = 300;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    const int64_t value = std::atoll(argv[i + 1]);
    if (flag == "--sms") sms = value;
    if (flag == "--mms") mms = value;
    if (flag == "--package-kb") package_kb = value;
  }
  using namespace parley;
  testing::TempDir dir;
  const std::string home = dir.path().string();
  std::filesystem::create_directories(dir.path() / "TempIMG");
  std::string picture(static_cast<size_t>(package_kb) * 1000, '\0');
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<char>(i * 131 + 7);
  std::ofstream(dir.path() / "TempIMG" / "picture.jpg", std::ios::binary) << picture;

  // A simulator per run, so each one reads only its own job.
  auto run = [&](auto&& body) {
    const std::filesystem::path sub = dir.path() / ("gate" + std::to_string(std::rand()));
    std::filesystem::create_directories(sub);
    testing::GateSim gate(sub);
    return body(gate.port());
  };
  if (sms > 0) {
    const Figures engine = run([&](uint16_t p) { return RunPipeline(p, sms, false, home); });
    const Figures baseline = run([&](uint16_t p) { return RunBaseline(p, sms, nullptr); });
    Compare("SMS job", engine, baseline);
  }
  if (mms > 0) {
    const Figures engine = run([&](uint16_t p) { return RunPipeline(p, mms, true, home); });
    std::ifstream file(dir.path() / "TempIMG" / "qx.SKN", std::ios::binary);
    const std::string package(std::istreambuf_iterator<char>(file), {});
    const Figures baseline = run([&](uint16_t p) { return RunBaseline(p, mms, &package); });
    std::printf("package: %zu bytes\n", package.size());
    Compare("MMS job", engine, baseline);
  }
  std::printf("peak RSS: %lld KB\n", static_cast<long long>(PeakRssKb()));
  return 0;
}
