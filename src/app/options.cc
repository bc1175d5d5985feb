#include "app/options.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>

#include <spdlog/common.h>
#include <CLI/CLI.hpp>

namespace parley {

bool SplitHostPort(const std::string& text, std::string* host, uint16_t* port) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  std::string digits = text.substr(colon + 1);
  if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  unsigned long value = std::stoul(digits);
  if (value == 0 || value > 65535) return false;
  *host = text.substr(0, colon);
  if (host->size() > 2 && host->front() == '[' && host->back() == ']') {
    *host = host->substr(1, host->size() - 2);
  }
  *port = static_cast<uint16_t>(value);
  return true;
}

std::string ExecutableDir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  return exe.parent_path().string();
}

std::optional<EngineOptions> ParseOptions(int argc, char** argv, const std::string& executable_dir,
                                          int* exit_status) {
  EngineOptions options;
  EngineConfig& c = options.config;
  c.home = executable_dir;
  std::string gateway =
      std::string(kDefaultGatewayHost) + ":" + std::to_string(kDefaultGatewayPort);
  std::string home = executable_dir;
  std::string ui_program;

  CLI::App app{
      "Parley: the engine of the bulk-messaging client. It serves the UI program over "
      "the UI link and sends through the message gateway."};
  app.set_version_flag("--version", std::string(kVersionText));
  app.add_option("--link-address", c.link_address, "Address the UI link listens on")
      ->capture_default_str();
  app.add_option("--link-port", c.link_port, "Port of the UI link (0 picks a free one)")
      ->capture_default_str();
  app.add_option("--link-message-timeout", c.link_message_timeout_seconds,
                 "Seconds a UI-link message may take to arrive whole once begun; the connection "
                 "is dropped after that (an idle one never is)")
      ->capture_default_str()
      ->check(CLI::Range(1, 3600));
  app.add_option("--gateway", gateway, "Message gateway as HOST:PORT")->capture_default_str();
  app.add_option("--web-base", c.web_base, "Web service base URL: http:// and a host, no slash")
      ->capture_default_str();
  app.add_option("--web-port", c.web_port, "Port every web request goes to")
      ->capture_default_str()
      ->check(CLI::Range(1, 65535));
  app.add_option("--web-timeout", c.web_timeout_seconds,
                 "Seconds a web request may take in all (connecting: at most 10)")
      ->capture_default_str()
      ->check(CLI::Range(1, 600));
  app.add_option("--home", home,
                 "Engine directory (UI program, TempIMG); default: the "
                 "executable's folder");
  app.add_option("--gateway-timeout", c.gateway_timeout_seconds,
                 "Seconds to wait for a gateway reply")
      ->capture_default_str()
      ->check(CLI::Range(1, 3600));
  app.add_option("--watchdog", c.watchdog_seconds,
                 "Every SECONDS, end the engine when the UI program no longer runs (off: 0)")
      ->check(CLI::Range(0, 86400));
  app.add_option("--ui-program", ui_program,
                 "UI program to launch (default HOME/QX_Flex/QXv1.exe; 'none' launches nothing)");
  app.add_option("--journal", c.journal_path,
                 "Send journal file (default: parley-journal.db beside the address book, in the "
                 "working directory)");
  app.add_option("--report-retry", c.report_retry_seconds,
                 "Least seconds between two posts of a sent report that did not reach the web "
                 "service")
      ->capture_default_str()
      ->check(CLI::Range(0, 86400));
  app.add_option("--database", c.database,
                 "An office's shared database, postgresql://user@host/name: the opt-out list, the "
                 "registered callbacks and the sending rules' settings live there (default: the "
                 "address book file)")
      ->check([](const std::string& value) {
        return value.empty() || value.starts_with("postgresql://") ||
                       value.starts_with("postgres://")
                   ? std::string()
                   : std::string("a postgresql:// URL");
      });
  app.add_option("--test-clock-offset", c.test_clock_offset_seconds,
                 "For tests only: seconds added to the clock the sending rules read (the night "
                 "hours of advertising)")
      ->check(CLI::Range(int64_t{-366} * 86400, int64_t{366} * 86400));
  app.add_option("--log-level", options.log_level,
                 "trace, debug, info, warn, error, critical or off")
      ->capture_default_str()
      ->check(CLI::IsMember({"trace", "debug", "info", "warn", "error", "critical", "off"}));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    *exit_status = app.exit(e) == 0 ? 0 : 2;
    return std::nullopt;
  }
  if (!SplitHostPort(gateway, &c.gateway_host, &c.gateway_port)) {
    std::cerr << "--gateway: expected HOST:PORT, got \"" << gateway << "\"\n";
    *exit_status = 2;
    return std::nullopt;
  }
  while (c.web_base.size() > 1 && c.web_base.back() == '/') c.web_base.pop_back();
  std::error_code ec;
  c.home = std::filesystem::absolute(home, ec);
  if (ec) c.home = home;
  if (ui_program == "none") {
    c.ui_program = std::filesystem::path();
  } else if (!ui_program.empty()) {
    c.ui_program = std::filesystem::absolute(ui_program, ec);
  }
  return options;
}

}  // namespace parley
