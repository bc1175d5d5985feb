#include "app/ui_launcher.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <string>

#include <spdlog/spdlog.h>

namespace parley {

bool LaunchUiProgram(const std::filesystem::path& program, uint16_t link_port) {
  if (program.empty()) return false;
  std::string path = program.string();
  if (::access(path.c_str(), X_OK) != 0) {
    spdlog::debug("UI program {} not found; not launched", path);
    return false;
  }
  // Fork twice: the grandchild runs the program and is adopted by init, the child ends at once
  // and is reaped here, so no zombie is left behind.
  pid_t child = ::fork();
  if (child < 0) {
    spdlog::error("cannot launch the UI program {}: fork failed", path);
    return false;
  }
  if (child == 0) {
    ::setsid();
    if (::fork() == 0) {
      int null_fd = ::open("/dev/null", O_RDONLY);
      if (null_fd >= 0) ::dup2(null_fd, 0);
      ::close_range(3, UINT_MAX, 0);
      ::setenv("PARLEY_LINK_PORT", std::to_string(link_port).c_str(), 1);
      char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
      ::execv(path.c_str(), argv);
      ::_exit(127);
    }
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  spdlog::info("launched the UI program {}", path);
  return true;
}

bool IsProcessRunning(std::string_view name) {
  constexpr size_t kShownNameBytes = 15;  // /proc/PID/comm
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string pid = entry.path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream comm(entry.path() / "comm");
    std::string line;
    if (std::getline(comm, line) && line == name.substr(0, kShownNameBytes)) return true;
  }
  return false;
}

}  // namespace parley
