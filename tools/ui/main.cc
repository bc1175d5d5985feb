// parley-ui: the engine's UI program on Linux, as a local web application. The engine launches
// it (--ui-program); it takes the UI link as the UI program does, serves the page on 127.0.0.1
// behind a token printed with the address, opens the browser when there is a display, and ends
// when the engine ends or the page ends the engine.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include <CLI/CLI.hpp>

#include "ui/ui_guard.h"
#include "ui/ui_link.h"
#include "ui/ui_server.h"

namespace {

std::filesystem::path ExecutableDir() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path(".") : exe.parent_path();
}

// The link port: PARLEY_LINK_PORT as the engine sets it for the program it launches, else the
// built-in one.
int DefaultLinkPort() {
  const char* env = std::getenv("PARLEY_LINK_PORT");
  if (env == nullptr || *env == '\0') return 12012;
  const int port = std::atoi(env);
  return port > 0 && port < 65536 ? port : 12012;
}

void OpenBrowser(const std::string& url) {
  if (::fork() == 0) {
    ::execlp("xdg-open", "xdg-open", url.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"parley-ui: the web UI program of the Parley engine"};
  int link_port = DefaultLinkPort();
  int port = 0;
  std::string static_dir = (ExecutableDir() / "ui").string();
  bool no_browser = false;
  int max_request_mb = 20;
  app.add_option("--link-port", link_port, "The engine's UI-link port ($PARLEY_LINK_PORT, 12012)")
      ->check(CLI::Range(1, 65535));
  app.add_option("--port", port, "Port of the page on 127.0.0.1 (0: a free one)")
      ->capture_default_str()
      ->check(CLI::Range(0, 65535));
  app.add_option("--static-dir", static_dir, "Folder of the page's files")->capture_default_str();
  app.add_flag("--no-browser", no_browser, "Print the address only; do not open a browser");
  app.add_option("--max-request-mb", max_request_mb, "Largest request (uploads included), in MB")
      ->capture_default_str()
      ->check(CLI::Range(1, 1024));
  CLI11_PARSE(app, argc, argv);

  // Signals are taken by one thread, the others never see them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  const std::optional<std::string> token = parley::NewUiToken();
  if (!token) {
    std::cerr << "parley-ui: no random source for the access token\n";
    return 1;
  }
  parley::UiLink link("127.0.0.1", static_cast<uint16_t>(link_port));
  // The engine launches its UI program as it starts listening: give it a moment.
  bool reached = false;
  for (int i = 0; i < 50 && !(reached = link.Reachable()); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  if (!reached) {
    std::cerr << "parley-ui: no engine answers on UI-link port " << link_port << "\n";
    return 3;
  }
  parley::UiServer server(link, *token, {static_dir, static_cast<size_t>(max_request_mb) << 20});
  const int bound = server.Bind(port);
  if (bound == 0) {
    std::cerr << "parley-ui: cannot listen on 127.0.0.1:" << port << "\n";
    return 1;
  }
  const std::string url = "http://127.0.0.1:" + std::to_string(bound) + "/?token=" + *token;
  std::cout << "parley-ui: open " << url << std::endl;
  const bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY");
  if (!no_browser && display) OpenBrowser(url);

  // Ends the server on a signal, when the page ended the engine, or when the engine is gone.
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    int unreachable = 0;
    while (!done) {
      timespec wait{0, 300'000'000};
      siginfo_t info;
      if (sigtimedwait(&signals, &info, &wait) > 0 || server.quit_requested()) break;
      unreachable = link.Reachable() ? 0 : unreachable + 1;
      if (unreachable >= 3) {
        std::cerr << "parley-ui: the engine has ended\n";
        break;
      }
    }
    server.Stop();
  });
  server.Run();
  done = true;
  watcher.join();
  return 0;
}
