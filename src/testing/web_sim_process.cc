#include "testing/web_sim_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace parley::testing {
namespace {

constexpr std::string_view kListening = "websim listening on 127.0.0.1:";

// True when `name` is a finished record file: six digits and ".req".
bool IsRecordName(const std::string& name) {
  return name.size() == 10 && name.ends_with(".req") &&
         std::all_of(name.begin(), name.begin() + 6, [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string WebSimBinary() { return BuiltBinary("WEBSIM_BIN", "websim"); }

WebSim::WebSim(const std::filesystem::path& dir, std::vector<std::string> extra_args)
    : record_dir_(dir / "requests") {
  std::vector<std::string> args{"--port", "0", "--record", record_dir_.string()};
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  process_ = std::make_unique<ChildProcess>(WebSimBinary(), args, dir / "websim.log");
  if (!process_->WaitForLog(kListening, 10000)) {
    throw std::runtime_error("websim did not start: " + process_->Log());
  }
  std::string log = process_->Log();
  port_ = static_cast<uint16_t>(std::atoi(log.c_str() + log.find(kListening) + kListening.size()));
}

WebSim::~WebSim() {
  if (process_->Running()) {
    process_->Signal(SIGTERM);
    process_->Wait(5000, nullptr);
  }
}

std::vector<std::string> WebSim::Requests() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(record_dir_, ec)) {
    std::string name = entry.path().filename().string();
    if (IsRecordName(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> requests;
  for (const auto& name : names) {
    std::ifstream in(record_dir_ / name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    requests.push_back(bytes.str());
  }
  return requests;
}

std::string WebSim::Control(const std::string& path_and_query) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port_);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    throw std::runtime_error("websim not reachable on port " + std::to_string(port_));
  }
  std::string request = "GET " + path_and_query +
                        " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port_) + "\r\n\r\n";
  std::string_view left = request;
  while (!left.empty()) {
    ssize_t n = ::send(fd, left.data(), left.size(), MSG_NOSIGNAL);
    if (n <= 0) break;
    left.remove_prefix(static_cast<size_t>(n));
  }
  std::string reply;
  char buffer[4096];
  for (;;) {
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    reply.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  size_t body = reply.find("\r\n\r\n");
  return body == std::string::npos ? std::string() : reply.substr(body + 4);
}

}  // namespace parley::testing
