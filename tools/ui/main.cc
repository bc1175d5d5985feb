// parley-ui: the engine's UI program on Linux, as a local web application. The engine launches
// it (--ui-program); it takes the UI link as the UI program does, serves the page on a loopback
// address of its own behind one-time addresses (one printed, one handed to the browser in a
// private file, never on a command line), opens the browser when there is a display, and ends
// when the engine ends or the page ends the engine.
#include <fcntl.h>
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
#include "ui/ui_handover.h"
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

// A private folder (0700) for the pages that hand the browser its address, removed at the end.
class PrivateFolder {
 public:
  PrivateFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::filesystem::path base = runtime != nullptr && *runtime == '/'
                                     ? std::filesystem::path(runtime)
                                     : std::filesystem::temp_directory_path();
    std::string folder = (base / "parley-ui-open-XXXXXX").string();
    if (::mkdtemp(folder.data()) != nullptr) path_ = folder;
  }
  ~PrivateFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Opens `url` (a one-time address) in the user's browser without naming it on a command line,
// where every local user could read it: the browser is given a file of the private folder,
// readable by the user only, that leads it to the address.
void OpenBrowser(const std::string& url, const PrivateFolder& folder) {
  if (folder.path().empty()) return;
  static std::atomic<int> opened = 0;
  const std::string file =
      (folder.path() / ("open-" + std::to_string(++opened) + ".html")).string();
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return;
  // The address holds only letters, digits and ":/.?=": nothing to escape.
  const std::string page =
      "<!doctype html>\n<meta charset=\"utf-8\">\n<meta name=\"referrer\" "
      "content=\"no-referrer\">\n"
      "<meta http-equiv=\"refresh\" content=\"0; url=" +
      url + "\">\n<title>Parley</title>\n<a href=\"" + url + "\">Parley</a>\n";
  const bool written = ::write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size());
  ::close(fd);
  if (!written) return;
  if (::fork() == 0) {
    ::execlp("xdg-open", "xdg-open", file.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"parley-ui: the web UI program of the Parley engine"};
  int link_port = DefaultLinkPort();
  int port = 0;
  std::string static_dir = (ExecutableDir() / "ui").string();
  std::string address;
  bool no_browser = false;
  bool open_only = false;
  int max_request_mb = 20;
  app.add_option("--link-port", link_port, "The engine's UI-link port ($PARLEY_LINK_PORT, 12012)")
      ->check(CLI::Range(1, 65535));
  app.add_option("--port", port, "Port of the page (0: a free one)")
      ->capture_default_str()
      ->check(CLI::Range(0, 65535));
  app.add_option("--address", address,
                 "Loopback address of the page (default: a new 127.x.y.z for each launch)")
      ->check([](const std::string& value) {
        return parley::IsLoopbackAddress(value) ? std::string()
                                                : "an address of 127.0.0.0/8, such as 127.0.0.1";
      });
  app.add_option("--static-dir", static_dir, "Folder of the page's files")->capture_default_str();
  app.add_flag("--no-browser", no_browser, "Print the address only; do not open a browser");
  app.add_flag("--open", open_only,
               "Open the page of the Parley already running (a fresh one-time address); start "
               "nothing when none runs");
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

  const bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY");
  const bool open_browser = !no_browser && display;

  // Parley started again on the same link port: the engine's page is already served, by the
  // parley-ui that holds the link. That one hands out an address to open (and opens it).
  parley::UiHandover handover(static_cast<uint16_t>(link_port));
  if (open_only && handover.held()) {
    std::cerr << "parley-ui: Parley is not running (no page is served for UI-link port "
              << link_port << "); start it with parley\n";
    return 3;
  }
  if (!handover.held()) {
    const std::string url = handover.AskHolder(open_browser, std::chrono::seconds(15));
    if (url.empty()) {
      std::cerr << "parley-ui: another parley-ui serves the engine on UI-link port " << link_port
                << " but does not answer\n";
      return 4;
    }
    std::cout << "parley-ui: Parley is already running (UI-link port " << link_port
              << ") and its page is served" << (open_browser ? " (opening it in the browser)" : "")
              << "; open " << url << std::endl;
    return 0;
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
  // An engine that accepts but never answers (an old engine serving another program) would leave
  // the page without an engine behind it.
  if (!link.Ask("STATE", "", std::chrono::seconds(10))) {
    std::cerr << "parley-ui: the engine on UI-link port " << link_port
              << " does not answer; end the programs connected to it and start Parley again\n";
    return 4;
  }
  parley::UiServer server(link, {static_dir, static_cast<size_t>(max_request_mb) << 20, address});
  const int bound = server.Bind(port);
  if (bound == 0) {
    std::cerr << "parley-ui: cannot listen on "
              << (address.empty() ? "a loopback address" : address) << " port " << port << "\n";
    return 1;
  }
  // Each address opens the page once: one for the person who reads this line, one for the
  // browser.
  const std::string url = server.NewAddressToOpen();
  if (url.empty()) {
    std::cerr << "parley-ui: no random source for the access token\n";
    return 1;
  }
  std::cout << "parley-ui: open " << url << std::endl;
  const PrivateFolder private_folder;
  if (open_browser) OpenBrowser(server.NewAddressToOpen(), private_folder);
  handover.Serve([&](bool open) {
    if (open && display) OpenBrowser(server.NewAddressToOpen(), private_folder);
    return server.NewAddressToOpen();
  });

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
  handover.Stop();
  return 0;
}
