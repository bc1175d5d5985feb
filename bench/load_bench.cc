// Load figures of the engine binary against the web service and gateway simulators on loopback:
// pipelined commands on one connection, connect/disconnect cycles, and DSEND jobs to very long
// recipient lists.
//
//   load_bench [--commands N,N,...] [--unread N] [--cycles N] [--recipients N,N,...]
//              [--stalled N]
//
// Prints commands/s, the engine's RSS while a client writes N commands and reads none, cycles/s,
// each send's wall time and messages/s, the engine's RSS before each send and its peak RSS during
// it (VmHWM, reset before each send), its open descriptors at start and at the end, and the
// machine's load average; last, the engine's peak RSS while N long sends wait on a silent gateway.
// The engine runs with --log-level warn.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "link/message.h"
#include "client/link_client.h"
#include "send/direct_send.h"
#include "testing/engine_process.h"
#include "testing/web_sim_process.h"

namespace parley {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<int64_t> ParseList(const char* text) {
  std::vector<int64_t> values;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (!item.empty()) values.push_back(std::atoll(item.c_str()));
  }
  return values;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A "Vm..." figure of /proc/<pid>/status in kB, or -1.
int64_t StatusKb(pid_t pid, const std::string& field) {
  const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
  const size_t at = status.find(field + ":");
  if (at == std::string::npos) return -1;
  return std::atoll(status.c_str() + at + field.size() + 1);
}

// Resets the peak RSS (VmHWM) of pid to its current RSS.
void ResetPeakRss(pid_t pid) {
  std::ofstream("/proc/" + std::to_string(pid) + "/clear_refs") << "5";
}

int FdCount(pid_t pid) {
  std::error_code ec;
  std::filesystem::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", ec);
  if (ec) return -1;
  int n = 0;
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) ++n;
  return n;
}

std::string LoadAverage() {
  std::string text = ReadFile("/proc/loadavg");
  return text.substr(0, text.find(' ', text.find(' ', text.find(' ') + 1) + 1));
}

std::string RecipientList(int64_t n) {
  std::string list;
  list.reserve(static_cast<size_t>(n) * 12);
  for (int64_t i = 0; i < n; ++i) {
    if (i > 0) list += ',';
    list += "010" + std::to_string(100000000 + i).substr(1);
  }
  return list;
}

// The engine and both simulators, in a temporary folder.
class Rig {
 public:
  // gate_args: further options of the gateway simulator (--silent); gateway_timeout: the engine's
  // wait for each gateway reply, in seconds.
  explicit Rig(std::vector<std::string> gate_args = {}, int gateway_timeout = 30) {
    gate_args.insert(gate_args.begin(), {"--port", "0"});
    // Enough balance for the largest sends.
    web_ = std::make_unique<testing::WebSim>(
        dir_.path(), std::vector<std::string>{"--user", "qxuser:qxpass:100000000"});
    // No record: the simulator keeps nothing of the messages and prints a summary at the end.
    gate_ = std::make_unique<testing::ChildProcess>(testing::BuiltBinary("GATESIM_BIN", "gatesim"),
                                                    gate_args, dir_.path() / "gatesim.log");
    constexpr std::string_view kListening = "gatesim listening on 127.0.0.1:";
    if (!gate_->WaitForLog(kListening, 10000)) throw std::runtime_error("gatesim did not start");
    const std::string log = gate_->Log();
    const std::string gate_port =
        std::to_string(std::atoi(log.c_str() + log.find(kListening) + kListening.size()));
    link_port_ = testing::FreePort();
    engine_ = std::make_unique<testing::ChildProcess>(
        testing::EngineBinary(),
        std::vector<std::string>{"--link-port", std::to_string(link_port_), "--ui-program", "none",
                                 "--home", dir_.path().string(), "--web-base", web_->base_url(),
                                 "--web-port", std::to_string(web_->port()), "--gateway",
                                 "127.0.0.1:" + gate_port, "--gateway-timeout",
                                 std::to_string(gateway_timeout), "--log-level", "warn"},
        dir_.path() / "engine.log");
    // At warn level the start line is not logged: wait for the port instead.
    if (!testing::WaitForPort(link_port_, 10000)) throw std::runtime_error("engine not up");
  }

  std::unique_ptr<LinkClient> Connect() {
    auto c = std::make_unique<LinkClient>();
    std::string error;
    if (!c->Connect("127.0.0.1", link_port_, &error)) throw std::runtime_error(error);
    return c;
  }

  pid_t engine_pid() const { return engine_->pid(); }

  // Ends the gateway simulator and returns its summary line.
  std::string StopGate() {
    gate_->Signal(SIGTERM);
    gate_->Wait(10000, nullptr);
    const std::string log = gate_->Log();
    const size_t at = log.find("gatesim summary:");
    return at == std::string::npos ? "(no summary)" : log.substr(at, log.find('\n', at) - at);
  }

 private:
  testing::TempDir dir_;
  std::unique_ptr<testing::WebSim> web_;
  std::unique_ptr<testing::ChildProcess> gate_;
  std::unique_ptr<testing::ChildProcess> engine_;
  uint16_t link_port_ = 0;
};

std::string Exchange(LinkClient& c, std::string_view code, std::string_view body,
                     int timeout_ms = 60000) {
  std::string error;
  RawMessage m;
  if (!c.SendMessage(code, body, &error) || !c.ReadMessage(&m, timeout_ms, &error)) {
    throw std::runtime_error(std::string(code) + ": " + error);
  }
  return m.body;
}

void PrintMemory(const char* when, pid_t pid) {
  std::printf("  engine %s: RSS %lld kB, peak RSS %lld kB, %d descriptors\n", when,
              static_cast<long long>(StatusKb(pid, "VmRSS")),
              static_cast<long long>(StatusKb(pid, "VmHWM")), FdCount(pid));
}

// Writes n commands (INIT and ADDRB 4 in turn) in one write from another thread and reads the
// n replies; returns the seconds from the write to the last reply, negative on a wrong reply.
double Pipeline(LinkClient& c, int64_t n) {
  std::string stream;
  for (int64_t i = 0; i < n; ++i) {
    stream += i % 2 == 0 ? MakeMessage("INIT", "") : MakeMessage("ADDRB", "4");
  }
  const auto start = Clock::now();
  std::string write_error;
  std::thread writer([&] { c.Write(stream, &write_error); });
  bool ok = true;
  for (int64_t i = 0; i < n && ok; ++i) {
    std::string error;
    RawMessage m;
    ok = c.ReadMessage(&m, 60000, &error) &&
         m.header.substr(0, 5) == (i % 2 == 0 ? "INITQ" : "ADDRB");
    if (!ok)
      std::printf("  reply %lld wrong: %s %s\n", static_cast<long long>(i), error.c_str(),
                  m.header.c_str());
  }
  if (!ok) ::shutdown(c.fd(), SHUT_RDWR);  // unblocks the writer
  writer.join();
  const double seconds = SecondsSince(start);
  return ok ? seconds : -seconds;
}

// Writes n ADDRB 4 commands from another thread and reads nothing for a second, then reads the n
// replies. The engine stops taking messages in while 256 are unanswered, so its RSS during the
// pause shows whether a client that does not read can make it buffer without bound.
void UnreadPipeline(LinkClient& c, pid_t pid, int64_t n) {
  std::string stream;
  for (int64_t i = 0; i < n; ++i) stream += MakeMessage("ADDRB", "4");
  ResetPeakRss(pid);
  std::string write_error;
  std::thread writer([&] { c.Write(stream, &write_error); });
  std::this_thread::sleep_for(std::chrono::seconds(1));
  std::printf("%lld commands (%zu bytes) written, none read for 1 s:\n", static_cast<long long>(n),
              stream.size());
  PrintMemory("meanwhile", pid);
  int64_t read = 0;
  for (std::string error; read < n; ++read) {
    RawMessage m;
    if (!c.ReadMessage(&m, 60000, &error) || m.header.substr(0, 5) != "ADDRB") break;
  }
  if (read < n) ::shutdown(c.fd(), SHUT_RDWR);  // unblocks the writer
  writer.join();
  std::printf("  %lld of %lld replies read afterwards%s\n", static_cast<long long>(read),
              static_cast<long long>(n), read == n ? "" : "  (FAILED)");
}

// connect, INIT, close, n times; returns the seconds taken, negative when one went wrong.
double Cycles(Rig& rig, int64_t n) {
  const auto start = Clock::now();
  for (int64_t i = 0; i < n; ++i) {
    std::unique_ptr<LinkClient> c = rig.Connect();
    std::string error;
    RawMessage m;
    if (!c->SendMessage("INIT", "", &error) || !c->ReadMessage(&m, 10000, &error)) {
      std::printf("  cycle %lld: %s\n", static_cast<long long>(i), error.c_str());
      return -SecondsSince(start);
    }
  }
  return SecondsSince(start);
}

// The send check and one DSEND SMS to `count` recipients, the first `count` of `list`.
void BigSend(LinkClient& c, pid_t pid, int64_t count, const std::string& list) {
  std::printf("DSEND SMS to %lld recipients\n", static_cast<long long>(count));
  const std::string check = Exchange(c, "DSEND", "4<QX>" + std::to_string(count) + "<QX>1<QX>");
  std::printf("  send check: %s\n", check.substr(0, 20).c_str());
  const size_t list_bytes = count > 0 ? static_cast<size_t>(count) * 12 - 1 : 0;
  const std::string body = "1<QX>" + std::to_string(count) + "<QX>title<QX><QX>" +
                           list.substr(0, list_bytes) + "<QX>021234567<QX>text";
  ResetPeakRss(pid);
  PrintMemory("before", pid);
  const auto start = Clock::now();
  const std::string reply = Exchange(c, "DSEND", body, 30 * 60 * 1000);
  const double seconds = SecondsSince(start);
  PrintMemory("after ", pid);
  const std::string text = reply.substr(0, reply.find("<QX>"));
  const bool sent = text == SentText(count);
  std::printf("  body %zu bytes; %s in %.3f s", body.size(),
              sent                      ? "sent"
              : text == kSendFailedText ? "FAILED (failure text)"
                                        : "UNEXPECTED REPLY",
              seconds);
  if (sent) std::printf(": %.0f messages/s", static_cast<double>(count) / seconds);
  std::printf("\n");
}

// Writes n DSENDs to the 999,999 recipients of `list` one behind the other on one connection to
// an engine whose gateway never answers (each job fails after the 1 s time-out) and reads the n
// replies; prints the engine's peak RSS meanwhile.
void StalledSends(int n, const std::string& list) {
  std::printf("%d DSENDs of 999999 recipients pipelined, gateway silent (time-out 1 s)\n", n);
  Rig rig({"--silent"}, 1);
  const pid_t pid = rig.engine_pid();
  auto c = rig.Connect();
  Exchange(*c, "LOGIN", "qxuser<QX>qxpass");
  Exchange(*c, "DSEND", "4<QX>999999<QX>1<QX>");
  const std::string send =
      MakeMessage("DSEND", "1<QX>999999<QX>title<QX><QX>" + list + "<QX>021234567<QX>text");
  ResetPeakRss(pid);
  PrintMemory("before", pid);
  const auto start = Clock::now();
  std::thread writer([&] {
    std::string error;
    for (int k = 0; k < n && c->Write(send, &error); ++k) {
    }
  });
  int failed = 0;
  for (int k = 0; k < n; ++k) {
    std::string error;
    RawMessage m;
    if (!c->ReadMessage(&m, 120000, &error)) break;
    failed += m.body.substr(0, m.body.find("<QX>")) == kSendFailedText;
  }
  ::shutdown(c->fd(), SHUT_RDWR);  // unblocks the writer if a reply went missing
  writer.join();
  std::printf("  %d of %d answered with the failure text in %.3f s\n", failed, n,
              SecondsSince(start));
  PrintMemory("after ", pid);
}

}  // namespace
}  // namespace parley

int main(int argc, char** argv) {
  using namespace parley;
  std::vector<int64_t> commands{10000, 100000};
  int64_t cycles = 1000;
  int64_t unread = 200000;
  int stalled = 8;
  std::vector<int64_t> recipients{1000000, 999999};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--commands") commands = ParseList(argv[i + 1]);
    if (flag == "--cycles") cycles = std::atoll(argv[i + 1]);
    if (flag == "--unread") unread = std::atoll(argv[i + 1]);
    if (flag == "--stalled") stalled = std::atoi(argv[i + 1]);
    if (flag == "--recipients") recipients = ParseList(argv[i + 1]);
  }
  std::printf("load average at start: %s (%ld processors)\n", LoadAverage().c_str(),
              sysconf(_SC_NPROCESSORS_ONLN));
  try {
    Rig rig;
    const pid_t pid = rig.engine_pid();
    auto c = rig.Connect();
    Exchange(*c, "LOGIN", "qxuser<QX>qxpass");
    PrintMemory("after login", pid);
    for (int64_t n : commands) {
      const double s = Pipeline(*c, n);
      std::printf("pipelined %lld commands on one connection: %.3f s, %.0f commands/s%s\n",
                  static_cast<long long>(n), std::abs(s), static_cast<double>(n) / std::abs(s),
                  s < 0 ? "  (FAILED)" : "");
    }
    if (unread > 0) UnreadPipeline(*c, pid, unread);
    c.reset();
    if (cycles > 0) {
      const double s = Cycles(rig, cycles);
      std::printf("connect, INIT, close: %lld cycles in %.3f s, %.0f cycles/s%s\n",
                  static_cast<long long>(cycles), std::abs(s),
                  static_cast<double>(cycles) / std::abs(s), s < 0 ? "  (FAILED)" : "");
    }
    c = rig.Connect();
    int64_t longest = 0;
    for (int64_t n : recipients) longest = std::max(longest, n);
    const std::string list = RecipientList(longest);
    for (int64_t n : recipients) BigSend(*c, pid, n, list);
    Exchange(*c, "INIT", "");
    PrintMemory("at the end", pid);
    std::printf("%s\n", rig.StopGate().c_str());
    if (stalled > 0) StalledSends(stalled, RecipientList(999999));
  } catch (const std::exception& e) {
    std::printf("load_bench: %s\n", e.what());
    return 1;
  }
  std::printf("load average at the end: %s\n", LoadAverage().c_str());
  return 0;
}
