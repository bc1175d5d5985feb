// qx: a command-line front end of the engine, talking to it over the UI link as the UI program
// does: one connection per command. Text in and out is UTF-8.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "client/messages.h"
#include "qx/book_command.h"
#include "qx/check_command.h"
#include "qx/command_suggestion.h"
#include "qx/end_command.h"
#include "qx/excel_command.h"
#include "qx/exit_codes.h"
#include "qx/link_session.h"
#include "qx/login_command.h"
#include "qx/messages_command.h"
#include "qx/reply_text.h"
#include "qx/results_command.h"
#include "qx/send_command.h"
#include "qx/terminal.h"
#include "text/cp949.h"

namespace {

// The link port from QX_PORT, 12012 when it is unset; false when it is not a port number (a
// mistyped port must not reach another engine).
bool DefaultPort(uint16_t* port) {
  *port = 12012;
  const char* env = std::getenv("QX_PORT");
  if (env == nullptr || *env == '\0') return true;
  char* end = nullptr;
  const long value = std::strtol(env, &end, 10);
  if (*end != '\0' || value <= 0 || value >= 65536) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

// qx raw: one message as given, the reply header and body printed.
int RunRaw(const std::string& code, const std::string& body, const parley::LinkTarget& target) {
  // Five capitals, or INIT: anything else the engine cannot frame.
  const bool capitals =
      !code.empty() && code.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos;
  if (!capitals || (code.size() != 5 && code != "INIT")) {
    std::cerr << "qx raw: a command code is five capital letters (or INIT), not \"" << code
              << "\"\n";
    return parley::kExitUsage;
  }
  parley::LinkClient client;
  std::string error;
  parley::RawMessage reply;
  if (!client.Connect(target.host, target.port, &error) ||
      !client.SendMessage(code, body, &error) ||
      !client.ReadMessage(&reply, target.timeout_seconds * 1000, &error)) {
    std::cerr << "qx: " << error << "\n";
    return parley::kExitNoEngine;
  }
  std::cout << reply.header << "\n" << parley::AnsiToUtf8(reply.body) << "\n";
  return parley::kExitOk;
}

// The first word of the command line that is neither an option nor an option's value: the
// subcommand the user meant to name.
std::string FirstCommandWord(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--host" || arg == "--port" || arg == "--timeout") {
      ++i;
      continue;
    }
    if (!arg.starts_with("-")) return std::string(arg);
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"qx: talk to the Parley engine over the UI link, as the UI program does."};
  app.require_subcommand(1);
  app.footer(parley::kExitCodesHelp);
  const parley::Language language = parley::LocaleFromEnvironment(
      std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
  const bool terminal = parley::StdinIsTerminal();
  parley::LinkTarget target;
  if (!DefaultPort(&target.port)) {
    std::cerr << "qx: QX_PORT is not a port number: " << std::getenv("QX_PORT") << "\n";
    return parley::kExitUsage;
  }
  app.add_option("--host", target.host, "Engine address")->capture_default_str();
  app.add_option("--port", target.port, "UI-link port (default: $QX_PORT or 12012)")
      ->capture_default_str();
  app.add_option("--timeout", target.timeout_seconds, "Seconds to wait for a reply")
      ->capture_default_str()
      ->check(CLI::Range(1, 86400));

  std::string code;
  std::string body;
  CLI::App* raw = app.add_subcommand("raw", "Send one message and print the reply as it comes");
  raw->add_option("CODE", code, "Command code, e.g. LOGIN")->required();
  raw->add_option("BODY", body, "Message body (fields separated by <QX>)");
  raw->footer(parley::kExitCodesHelp);

  CLI::App* book = parley::AddBookCommand(app, language);
  parley::LoginOptions login_options;
  parley::CheckOptions check_options;
  parley::SendOptions send_options;
  parley::MessagesOptions messages_options;
  parley::ResultsOptions results_options;
  parley::StatsOptions stats_options;
  parley::ExcelOptions excel_options;
  login_options.language = check_options.language = send_options.language = excel_options.language =
      language;
  login_options.prompt = terminal;
  std::ostream& out = std::cout;
  std::ostream& err = std::cerr;
  const std::vector<std::pair<CLI::App*, std::function<int()>>> commands = {
      {raw, [&] { return RunRaw(code, body, target); }},
      {parley::AddLoginCommand(app, &login_options),
       [&] { return parley::RunLoginCommand(login_options, target, out, err); }},
      {parley::AddLogoutCommand(app), [&] { return parley::RunEndCommand(0, target, out, err); }},
      {parley::AddCheckCommand(app, &check_options),
       [&] { return parley::RunCheckCommand(check_options, target, out, err); }},
      {parley::AddSendCommand(app, &send_options),
       [&] { return parley::RunSendCommand(send_options, target, out, err); }},
      {parley::AddExcelCommand(app, &excel_options),
       [&] { return parley::RunExcelCommand(excel_options, target, out, err); }},
      {parley::AddMessagesCommand(app, &messages_options),
       [&] { return parley::RunMessagesCommand(messages_options, target, out, err); }},
      {parley::AddResultsCommand(app, &results_options),
       [&] { return parley::RunResultsCommand(results_options, target, out, err); }},
      {parley::AddStatsCommand(app, &stats_options),
       [&] { return parley::RunStatsCommand(stats_options, target, out, err); }},
      {parley::AddQuitCommand(app), [&] { return parley::RunEndCommand(1, target, out, err); }},
  };

  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& e) {
    return e.get_exit_code();  // qx book reports its own failures
  } catch (const CLI::ParseError& e) {
    const std::string word = FirstCommandWord(argc, argv);
    bool known = false;
    for (const CLI::App* sub : app.get_subcommands({})) known = known || sub->get_name() == word;
    if (!word.empty() && !known) {
      std::vector<std::string> names;
      for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
      if (const std::string meant = parley::NearestCommand(names, word); !meant.empty()) {
        std::cerr << "qx: " << parley::Text(language, parley::Msg::kDidYouMean, {word, meant})
                  << "\n";
        return parley::kExitUsage;
      }
    }
    const int status = app.exit(e) == 0 ? parley::kExitOk : parley::kExitUsage;
    // "--to 010 5555 1212" unquoted: the words after the first are no recipients.
    const bool to_given = std::find_if(argv + 1, argv + argc, [](const char* arg) {
                            return std::string_view(arg) == "--to";
                          }) != argv + argc;
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr && to_given) {
      std::cerr << "qx: --to takes one list; numbers are separated by commas, and a number with "
                   "spaces goes in quotes (--to \"010 5555 1212\")\n";
    }
    return status;
  }
  send_options.confirm = terminal && !send_options.yes;
  excel_options.confirm = terminal && !excel_options.yes;
  if (book->parsed()) return parley::kExitOk;  // done while parsing
  for (const auto& [command, run] : commands) {
    if (command->parsed()) return run();
  }
  return parley::kExitUsage;
}
