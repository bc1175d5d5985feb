#include "app/engine.h"

#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>

#include "app/instance_guard.h"
#include "app/journal_lock.h"
#include "app/ui_launcher.h"
#include "commands/commands.h"
#include "engine/engine.h"
#include "journal/send_journal.h"

namespace parley {
namespace {

void SetUpLogging(const std::string& level) {
  auto logger = spdlog::stderr_color_st("parley");
  logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %^%l%$ %v");
  spdlog::set_default_logger(logger);
  spdlog::set_level(spdlog::level::from_str(level));
}

// Every `seconds`, ends the engine when no process of the UI program's name (`name`) runs.
asio::awaitable<void> Watchdog(asio::io_context& io, int seconds, std::string name) {
  asio::steady_timer timer(io);
  for (;;) {
    timer.expires_after(std::chrono::seconds(seconds));
    auto [ec] = co_await timer.async_wait(asio::experimental::as_tuple(asio::use_awaitable));
    if (ec) co_return;
    if (!IsProcessRunning(name)) {
      spdlog::info("watchdog: {} is not running; ending the engine", name);
      io.stop();
      co_return;
    }
  }
}

}  // namespace

int RunEngine(const EngineOptions& options) {
  SetUpLogging(options.log_level);
  std::signal(SIGPIPE, SIG_IGN);
  const EngineConfig& config = options.config;

  std::optional<InstanceGuard> guard;
  if (config.link_port != 0) {
    guard.emplace(config.link_port);
    if (!guard->acquired()) {
      spdlog::info("an engine already serves port {}; launching the UI program and ending",
                   config.link_port);
      LaunchUiProgram(config.UiProgram(), config.link_port);
      return 0;
    }
  }

  // The journal belongs to this engine alone, from before it is opened (which folds the tapes of
  // jobs not running and marks running jobs interrupted) until the engine ends.
  const std::filesystem::path journal =
      config.journal_path.empty() ? std::filesystem::path(kJournalFileName) : config.journal_path;
  JournalLock journal_lock(journal, config.link_port);
  switch (journal_lock.result()) {
    case JournalLock::Result::kHeld:
      break;
    case JournalLock::Result::kBusy:
      if (journal_lock.holder_pid() != 0) {
        spdlog::critical(
            "the send journal {} is in use by another engine (process {}, UI-link port {}); "
            "one journal serves one engine: end that engine or start this one in another folder "
            "or with another --journal. Not starting",
            journal.string(), journal_lock.holder_pid(), journal_lock.holder_port());
      } else {
        spdlog::critical(
            "the send journal {} is in use by another engine ({} is locked); one journal serves "
            "one engine: end that engine or start this one in another folder or with another "
            "--journal. Not starting",
            journal.string(), journal_lock.path().string());
      }
      return 1;
    case JournalLock::Result::kNoLock:
      // A folder that cannot hold the lock cannot hold the journal either: the journal's own
      // open says why, and sends are refused.
      spdlog::warn("the send journal's lock {} cannot be made: {}", journal_lock.path().string(),
                   journal_lock.error());
      break;
  }

  asio::io_context io(1);
  Engine engine(io, config);
  InstallCommandHandlers(engine);
  CFlexLink& link = engine.link();
  link.SetUiLauncher(
      [program = config.UiProgram(), &link] { LaunchUiProgram(program, link.link_port()); });
  link.SetOnExit([&io] { io.stop(); });

  // Before the engine says it listens: a SIGTERM sent as soon as it does ends it cleanly.
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&io](const std::error_code& ec, int signal_number) {
    if (ec) return;
    spdlog::info("signal {}: ending the engine", signal_number);
    io.stop();
  });
  if (std::error_code ec = link.CreateServer()) {
    spdlog::error("UI link: cannot listen on {}:{}: {}", config.link_address, config.link_port,
                  ec.message());
    return 1;
  }
  journal_lock.NameHolder(link.link_port());
  spdlog::info("Parley listening on {}:{} (UI link); gateway {}:{}, web {} port {}",
               config.link_address, link.link_port(), config.gateway_host, config.gateway_port,
               config.web_base, config.web_port);

  if (config.watchdog_seconds > 0) {
    // The program the engine launches, by its file name; the usual one without a program.
    const std::filesystem::path program = config.UiProgram();
    std::string name = program.empty() ? std::string(kUiProgramName) : program.filename().string();
    asio::co_spawn(io, Watchdog(io, config.watchdog_seconds, std::move(name)), asio::detached);
  }

  link.LaunchUi();
  io.run();
  spdlog::info("engine ended");
  return 0;
}

}  // namespace parley
