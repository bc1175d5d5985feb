// The engine's settings. Every value has the built-in default of the engine; the command line
// can change each of them (see the app's options).
#ifndef PARLEY_ENGINE_ENGINE_CONFIG_H_
#define PARLEY_ENGINE_ENGINE_CONFIG_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace parley {

// The engine's version: what --version prints and the STATE reply names.
inline constexpr char kVersionText[] = "Parley, Version 1.0";

inline constexpr char kDefaultLinkAddress[] = "127.0.0.1";
inline constexpr uint16_t kDefaultLinkPort = 12012;
inline constexpr char kDefaultGatewayHost[] = "gw.parley.example";
inline constexpr uint16_t kDefaultGatewayPort = 4001;
inline constexpr char kDefaultWebBase[] = "http://www.parley.example";
inline constexpr uint16_t kDefaultWebPort = 80;
inline constexpr int kDefaultGatewayTimeoutSeconds = 30;
inline constexpr int kDefaultWebTimeoutSeconds = 30;
inline constexpr int kDefaultLinkMessageTimeoutSeconds = 30;
// The UI program, relative to the engine directory.
inline constexpr char kUiProgramPath[] = "QX_Flex/QXv1.exe";
inline constexpr char kUiProgramName[] = "QXv1.exe";

struct EngineConfig {
  std::string link_address = kDefaultLinkAddress;
  uint16_t link_port = kDefaultLinkPort;
  // The longest a UI-link message may take to arrive whole once its first byte is in; the
  // connection is dropped after that. An idle connection is never dropped.
  int link_message_timeout_seconds = kDefaultLinkMessageTimeoutSeconds;
  std::string gateway_host = kDefaultGatewayHost;
  uint16_t gateway_port = kDefaultGatewayPort;
  // "http://" and a host name, no trailing slash.
  std::string web_base = kDefaultWebBase;
  // Every web request goes to this port, whatever port an endpoint URL names.
  uint16_t web_port = kDefaultWebPort;
  // The longest a web request may take in all; connecting alone gets at most 10 seconds.
  int web_timeout_seconds = kDefaultWebTimeoutSeconds;
  // The engine directory: the base of the UI program, TempIMG and the LOGIN reply.
  std::filesystem::path home;
  int gateway_timeout_seconds = kDefaultGatewayTimeoutSeconds;
  // Seconds between checks that the UI program still runs; 0 turns the check off.
  int watchdog_seconds = 0;
  // The UI program to launch; unset means home/QX_Flex/QXv1.exe, an empty path launches nothing.
  std::optional<std::filesystem::path> ui_program;

  // The send journal; empty means parley-journal.db in the working directory, beside the
  // address book.
  std::filesystem::path journal_path;
  // The least seconds between two posts of a sent report that the web service did not take.
  int report_retry_seconds = 60;
  // For tests only (--test-clock-offset): seconds added to the system clock where the sending
  // rules read the time, so that a test can stand at any Korean time of day. 0 otherwise.
  int64_t test_clock_offset_seconds = 0;
  // The database an office shares (--database postgresql://...): the sending rules' data (the
  // opt-out list, the registered callbacks, the rules' settings) lives there instead of in the
  // address book file. Empty: the address book file.
  std::string database;

  // The engine directory with a trailing "/" (UTF-8, as the file system names it).
  std::string GetModuleDir() const;
  // The UI program to launch, or an empty path when none is to be launched.
  std::filesystem::path UiProgram() const;
};

}  // namespace parley

#endif  // PARLEY_ENGINE_ENGINE_CONFIG_H_
