// Measures the direct send pipeline beside a raw sender that writes the same bytes with the same
// acknowledgement pacing and does nothing else, both into a gateway that only reads and counts
// (CountSink), so that the figures show the sender and not the gateway. The two run alternately,
// each job on a connection of its own, and the medians are printed side by side.
//
//   send_bench [--sms N] [--mms N] [--package-kb K] [--rounds R] [--full]
//
// --full adds a job of 999,999 text messages. Times are given twice: until the gateway has read
// the last message, and until the sender is done (for the engine that includes the end of the
// job, which watches the connection for a hang-up for at least 20 ms).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <spdlog/spdlog.h>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>

#include "count_sink.h"
#include "engine/journal_recorder.h"
#include "journal/send_journal.h"
#include "loopback_setup.h"
#include "send/direct_send.h"
#include "send/gateway_records.h"
#include "testing/engine_process.h"

namespace parley {
namespace {

using Clock = std::chrono::steady_clock;

// One job as the gateway saw it.
struct Run {
  double to_last_message = 0;  // seconds from the start until the gateway read the last message
  double total = 0;            // seconds from the start until the sender was done
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

// The raw sender: a blocking socket; one write per group of text messages, one writev of head and
// package per file message, one read per reply.
class RawSender {
 public:
  explicit RawSender(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
      throw std::runtime_error("raw sender: connect failed");
    }
  }
  ~RawSender() { ::close(fd_); }

  // Ends the connection with a FIN, as the engine does: reads the replies not waited for until the
  // gateway closes too (closing over unread bytes would reset the connection).
  void Close() {
    ::shutdown(fd_, SHUT_WR);
    char buf[64];
    while (::read(fd_, buf, sizeof buf) > 0) {
    }
  }

  void Write(const char* head, size_t head_size, const char* body = nullptr, size_t body_size = 0) {
    iovec parts[2] = {{const_cast<char*>(head), head_size}, {const_cast<char*>(body), body_size}};
    int count = body_size > 0 ? 2 : 1;
    iovec* at = parts;
    while (count > 0) {
      const ssize_t n = ::writev(fd_, at, count);
      if (n <= 0) throw std::runtime_error("raw sender: write failed");
      size_t left = static_cast<size_t>(n);
      while (count > 0 && left >= at->iov_len) {
        left -= at->iov_len;
        ++at;
        --count;
      }
      if (count > 0) {
        at->iov_base = static_cast<char*>(at->iov_base) + left;
        at->iov_len -= left;
      }
    }
  }
  void Read(size_t size) {
    char buf[64];
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::read(fd_, buf + done, size - done);
      if (n <= 0) throw std::runtime_error("raw sender: read failed");
      done += static_cast<size_t>(n);
    }
  }

 private:
  int fd_ = -1;
};

// Sends count messages: a text packet each, or a file head and `package` each; waits for an
// acknowledgement where the engine does.
void SendRaw(uint16_t port, int64_t count, const std::string* package) {
  RawSender s(port);
  JobHeader header;
  header.login_id = "qxuser";
  header.password = "qxpass";
  header.title = "bench";
  header.type_code = package ? "IMT" : "SMS";
  header.count = count;
  char record[kJobHeaderSize];
  BuildJobHeader(header, std::span<char, kJobHeaderSize>(record, kJobHeaderSize));
  s.Write(record, kJobHeaderSize);
  s.Read(kJobReplySize);
  std::string texts;
  for (int64_t n = 1; n <= count; ++n) {
    const std::string recipient = NumberOf(n - 1);
    if (package) {
      char head[kFileMessageHeadSize];
      BuildFileMessageHead(recipient, "021234567", static_cast<int64_t>(package->size()),
                           std::span<char, kFileMessageHeadSize>(head, kFileMessageHeadSize));
      s.Write(head, kFileMessageHeadSize, package->data(), package->size());
    } else {
      char packet[kTextMessageSize];
      BuildTextMessage(recipient, "021234567", "bench message",
                       std::span<char, kTextMessageSize>(packet, kTextMessageSize));
      texts.append(packet, kTextMessageSize);
    }
    // The engine waits after packets 51, 101, ...
    const bool wait = n % kAckInterval == 1 && n > 1;
    if (wait || n == count) {
      if (!texts.empty()) s.Write(texts.data(), texts.size());
      texts.clear();
      if (wait) s.Read(kAcknowledgementSize);
    }
  }
  s.Close();
}

// Runs one job of the engine's direct send on an io_context of its own.
bool SendEngine(uint16_t port, int64_t count, bool mms, const std::string& home,
                const std::string& recipients, SendJournal* journal = nullptr) {
  asio::io_context io(1);
  SendSetup setup = LoopbackSetup(io.get_executor(), port, home);
  if (journal != nullptr)
    setup.observer = std::make_shared<JournalRecorder>(journal, JobSource{"benchmark"});
  SendResult result;
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
  return result.outcome == SendOutcome::kSent && result.count == count;
}

// Runs `send` against a fresh sink and times it.
Run Measure(int64_t count, const std::function<bool(uint16_t)>& send) {
  CountSink sink;
  const auto start = Clock::now();
  Run run;
  run.ok = send(sink.port());
  run.total = std::chrono::duration<double>(Clock::now() - start).count();
  CountSink::Counts counts = sink.Wait();
  run.to_last_message = std::chrono::duration<double>(counts.last_message_at - start).count();
  run.bytes = counts.bytes;
  run.ok = run.ok && counts.error.empty() && counts.messages == count;
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  file >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

// Runs the engine and the raw sender alternately, `rounds` times each, and prints the medians.
void Compare(const char* name, int64_t count, int rounds,
             const std::function<bool(uint16_t)>& engine,
             const std::function<bool(uint16_t)>& raw) {
  std::vector<Run> engine_runs, raw_runs;
  for (int i = 0; i < rounds; ++i) {
    if (i % 2 == 0) {
      engine_runs.push_back(Measure(count, engine));
      raw_runs.push_back(Measure(count, raw));
    } else {
      raw_runs.push_back(Measure(count, raw));
      engine_runs.push_back(Measure(count, engine));
    }
  }
  auto median = [](const std::vector<Run>& runs, double Run::*field) {
    std::vector<double> v;
    for (const Run& r : runs) v.push_back(r.*field);
    return Median(v);
  };
  auto all_ok = [](const std::vector<Run>& runs) {
    return std::all_of(runs.begin(), runs.end(),
                       [&](const Run& r) { return r.ok && r.bytes == runs.front().bytes; });
  };
  const bool same_bytes = engine_runs.front().bytes == raw_runs.front().bytes;
  const double bytes = static_cast<double>(raw_runs.front().bytes);
  std::printf("%s: %lld messages, %.1f MB on the wire, median of %d alternating runs%s\n", name,
              static_cast<long long>(count), bytes / 1e6, rounds,
              all_ok(engine_runs) && all_ok(raw_runs) && same_bytes ? "" : "  (FAILED)");
  std::printf("  %-6s %13s %9s %14s\n", "", "to last msg s", "MB/s", "sender done s");
  const double engine_last = median(engine_runs, &Run::to_last_message);
  const double raw_last = median(raw_runs, &Run::to_last_message);
  const double engine_total = median(engine_runs, &Run::total);
  const double raw_total = median(raw_runs, &Run::total);
  std::printf("  %-6s %13.4f %9.0f %14.4f\n", "engine", engine_last, bytes / engine_last / 1e6,
              engine_total);
  std::printf("  %-6s %13.4f %9.0f %14.4f\n", "raw", raw_last, bytes / raw_last / 1e6, raw_total);
  std::printf("  engine / raw: %.2f to the last message, %.2f until done   (load %s)\n",
              engine_last / raw_last, engine_total / raw_total, LoadAverage().c_str());
  std::fflush(stdout);
}

int64_t PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace
}  // namespace parley

int main(int argc, char** argv) {
  int64_t sms = 100000;
  int64_t mms = 1000;
  int64_t package_kb = 300;
  int rounds = 5;
  bool full = false;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--full") {
      full = true;
      continue;
    }
    if (i + 1 >= argc) break;
    const int64_t value = std::atoll(argv[++i]);
    if (flag == "--sms") sms = value;
    if (flag == "--mms") mms = value;
    if (flag == "--package-kb") package_kb = value;
    if (flag == "--rounds") rounds = static_cast<int>(value);
  }
  using namespace parley;
  spdlog::set_level(spdlog::level::warn);  // no line per job
  testing::TempDir dir;
  const std::string home = dir.path().string();
  std::filesystem::create_directories(dir.path() / "TempIMG");
  std::string picture(static_cast<size_t>(package_kb) * 1000, '\0');
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<char>(i * 131 + 7);
  std::ofstream(dir.path() / "TempIMG" / "picture.jpg", std::ios::binary) << picture;
  std::printf("load average at the start: %s\n", LoadAverage().c_str());

  // The send journal, as the engine keeps one: every job recorded as it goes.
  auto journal = SendJournal::Open(dir.path() / kJournalFileName, 0).journal;
  auto sms_job = [&](const char* name, int64_t count, SendJournal* journaled = nullptr) {
    const std::string recipients = RecipientList(count);
    Compare(
        name, count, rounds,
        [&](uint16_t port) { return SendEngine(port, count, false, home, recipients, journaled); },
        [&](uint16_t port) {
          SendRaw(port, count, nullptr);
          return true;
        });
  };
  if (sms > 0) {
    sms_job("SMS", sms);
    sms_job("SMS, journal on", sms, journal.get());
  }
  if (mms > 0) {
    const std::string recipients = RecipientList(mms);
    auto engine = [&](uint16_t port) { return SendEngine(port, mms, true, home, recipients); };
    // One job first, unmeasured: it builds the package the raw sender sends.
    Measure(mms, engine);
    std::ifstream file(dir.path() / "TempIMG" / "qx.SKN", std::ios::binary);
    const std::string package(std::istreambuf_iterator<char>(file), {});
    std::printf("MMS package: %zu bytes\n", package.size());
    Compare("MMS", mms, rounds, engine, [&](uint16_t port) {
      SendRaw(port, mms, &package);
      return true;
    });
  }
  if (full) {
    sms_job("SMS (the most a job takes)", kMaxRecipientCount);
    sms_job("SMS (the most a job takes), journal on", kMaxRecipientCount, journal.get());
  }
  std::printf("peak RSS: %lld KB\n", static_cast<long long>(PeakRssKb()));
  return 0;
}
