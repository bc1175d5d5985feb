// qx: a command-line front end of the engine, talking to it over the UI link as the UI program
// does: one connection per command. Text in and out is UTF-8.
//
// This is the one file that knows the command-line library: it fills each sub-command's options
// struct from the command line and calls the sub-command's Run function, so the library's
// headers are compiled once.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
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
#include "qx/jobs_command.h"
#include "qx/link_session.h"
#include "qx/login_command.h"
#include "qx/messages_command.h"
#include "qx/reply_text.h"
#include "qx/results_command.h"
#include "qx/rules_list_command.h"
#include "qx/send_command.h"
#include "qx/settings_command.h"
#include "qx/status_command.h"
#include "qx/terminal.h"
#include "send/gateway_records.h"
#include "text/cp949.h"

namespace parley {
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

// A file that must exist, refused in the user's language ("cannot read FILE").
CLI::Validator ExistingFileIn(Language language) {
  return CLI::Validator(
      [language](std::string& path) -> std::string {
        std::error_code ec;
        if (std::filesystem::exists(path, ec) && !std::filesystem::is_directory(path, ec)) {
          return {};
        }
        return Text(language, Msg::kFileUnreadable, {path});
      },
      "FILE");
}

// The sub-commands' options, as the command line names them.
CLI::App* AddLoginCommand(CLI::App& app, LoginOptions* options) {
  CLI::App* login = app.add_subcommand(
      "login", "Log in to the web service through the engine, or show the remembered id");
  login->add_option("ID", options->id, "Login id");
  login->add_option("PASSWORD", options->password,
                    "Password (default: $QX_PASSWORD, else asked for at a terminal without echo)");
  login->add_flag("--save", options->save, "Have the engine remember the id for next time");
  login->add_flag("--saved", options->saved, "Only show the id the engine remembers");
  login->footer(kExitCodesHelp);
  return login;
}

CLI::App* AddLogoutCommand(CLI::App& app) {
  CLI::App* logout = app.add_subcommand("logout", "Log out of the web service (ENDQX 0)");
  logout->footer(kExitCodesHelp);
  return logout;
}

CLI::App* AddQuitCommand(CLI::App& app) {
  CLI::App* quit = app.add_subcommand("quit", "End the engine (ENDQX 1)");
  quit->footer(kExitCodesHelp);
  return quit;
}

CLI::App* AddCheckCommand(CLI::App& app, CheckOptions* options) {
  CLI::App* check = app.add_subcommand(
      "check", "Ask whether a send may go ahead (the send check); the engine remembers the answer");
  check->add_option("--count", options->count, "Number of messages")
      ->capture_default_str()
      ->check(CLI::Range(int64_t{1}, int64_t{999999}));
  check->add_option("--kind", options->kind, "sms, lms or mms")
      ->capture_default_str()
      ->check(CLI::IsMember({"sms", "lms", "mms"}, CLI::ignore_case));
  check->add_option("--reserve", options->reserve, "Reservation date-time; empty sends now");
  check->add_flag("--excel", options->excel, "Ask as the Excel send does (ESEND)");
  check->footer(kExitCodesHelp);
  return check;
}

// --progress of a send.
void AddProgressOption(CLI::App* send, std::string* mode) {
  send->add_option("--progress", *mode,
                   "Progress line while sending: auto (when standard output is a terminal), "
                   "always or never; Ctrl-C cancels the send")
      ->capture_default_str()
      ->check(CLI::IsMember({"auto", "always", "never"}));
}

CLI::App* AddSendCommand(CLI::App& app, SendOptions* options) {
  CLI::App* send = app.add_subcommand(
      "send",
      "Check and send a message: the numbers, text, reservation and pictures are checked first, "
      "then the engine's send check (with --group: the groups are checked in the engine's address "
      "book; the engine takes the job and cannot tell its result)");
  send->add_option("--to", options->to,
                   "Recipient numbers, separated by commas, semicolons or new lines (spaces are "
                   "part of a number)")
      ->allow_extra_args(false);
  send->add_option("--to-file", options->to_file,
                   "File of recipient numbers: one a line, or with --to-column a column of a CSV "
                   "or workbook")
      ->check(ExistingFileIn(options->language));
  send->add_option("--to-column", options->to_column, "Column of --to-file holding the numbers");
  send->add_option("--group", options->groups,
                   "Address-book group names, separated by commas (sends with ASEND)")
      ->allow_extra_args(false);
  auto* text = send->add_option("--text", options->text, "Message text");
  auto* text_file = send->add_option("--text-file", options->text_file, "File of the message text")
                        ->check(ExistingFileIn(options->language));
  auto* saved = send->add_option("--saved", options->saved,
                                 "Send saved message N (the No of qx messages saved) as the text")
                    ->check(CLI::PositiveNumber);
  text->excludes(text_file);
  saved->excludes(text)->excludes(text_file);
  send->add_option("--image", options->images, "JPEG picture file (up to three)")
      ->allow_extra_args(false);
  send->add_option("--title", options->title, "Title");
  send->add_option("--callback", options->callback, "Callback (sender) number");
  send->add_option("--reserve", options->reserve,
                   "Reservation: YYYY-MM-DD HH:MM, YYYY-MM-DDTHH:MM or YYYYMMDDHHMM; empty sends "
                   "now");
  send->add_option("--home", options->home, "The engine's home, where pictures are staged");
  send->add_option("--login", options->login, "Log in with this id first");
  send->add_option("--password", options->password, "Password for --login");
  send->add_flag(
      "--ad", options->advert,
      "An advertising send: the text must begin with \"(광고)\" and the business name and end "
      "with the free opt-out line (무료수신거부 080-...); not from 21:00 to 08:00 Korean time");
  send->add_flag(
      "--insert-ad", options->insert_ad,
      "An advertising send whose marker, business name and opt-out line qx adds to the text from "
      "the settings (an SMS may become an LMS)");
  send->add_flag("--night-consent", options->night_consent,
                 "Every recipient agreed separately to advertising at night (asked again at a "
                 "terminal unless --yes)");
  send->add_flag("--check", options->check_only, "Only run the send check");
  send->add_flag("--dry-run", options->dry_run,
                 "Check everything and show what would be sent, but send nothing");
  send->add_flag("--yes,-y", options->yes,
                 "Send without asking (qx asks only when standard input is a terminal)");
  AddProgressOption(send, &options->progress);
  send->add_flag("--keep-duplicates", options->keep_duplicates,
                 "Send to a number as often as it is listed");
  send->add_option("--sms-bytes", options->limits.sms_bytes,
                   "Longest text sent as SMS, in CP949 bytes")
      ->capture_default_str()
      ->check(CLI::Range(size_t{1}, kMaxTextBytes));
  send->add_option("--lms-bytes", options->limits.lms_bytes,
                   "Longest text sent as LMS or MMS, in CP949 bytes")
      ->capture_default_str()
      ->check(CLI::Range(size_t{1}, kLmsBytes));
  send->footer(kExitCodesHelp);
  return send;
}

CLI::App* AddExcelCommand(CLI::App& app, ExcelOptions* options) {
  CLI::App* excel = app.add_subcommand("excel", "Send to the rows of a workbook sheet");
  excel->require_subcommand(1);
  excel->footer(kExitCodesHelp);

  CLI::App* list = excel->add_subcommand("list", "Choose a workbook and show its sheets");
  list->add_option("FILE", options->file, "Workbook (.xlsx, .xls, .ods, .csv)")
      ->required()
      ->check(ExistingFileIn(options->language));
  list->callback([options] { options->action = "list"; });

  CLI::App* count = excel->add_subcommand("count", "Count the distinct values of a column");
  count->add_option("SHEET", options->sheet, "Sheet name")->required();
  count->add_option("COLUMN", options->column, "Column name")->required();
  count->callback([options] { options->action = "count"; });

  CLI::App* preview = excel->add_subcommand("preview", "Show the first five composed messages");
  CLI::App* send =
      excel->add_subcommand("send", "Run the send check and send one message per row of a sheet");
  CLI::App* check = excel->add_subcommand(
      "check", "Check every row of a sheet as the send would read it; send nothing");
  for (CLI::App* sub : {preview, send, check}) {
    sub->add_option("SHEET", options->sheet, "Sheet name")->required();
    sub->add_option("--phone", options->phone_column, "Column of the recipient numbers")
        ->required();
    sub->add_option("--callback-column", options->callback_column,
                    "Column of the callback numbers");
    sub->add_option("--callback", options->callback, "Callback number for every row");
    sub->add_option("--text", options->text,
                    "Message; [column:width] puts the row's cell, cut to width bytes")
        ->required();
  }
  preview->callback([options] { options->action = "preview"; });
  for (CLI::App* sub : {send, check}) {
    sub->add_flag("--dedupe", options->dedupe, "Send each number once (the first row keeps it)");
    sub->add_option("--image", options->images, "Picture file (up to three): an MMS send");
  }
  check->callback([options] { options->action = "check"; });
  send->add_flag("--skip-invalid", options->skip_invalid,
                 "Leave out the rows whose phone or callback cell is no valid number");
  send->add_flag("--allow-cut", options->allow_cut,
                 "Send values that their marker's width cuts, cut");
  send->add_option("--title", options->title, "Title");
  send->add_option("--reserve", options->reserve,
                   "Reservation: YYYY-MM-DD HH:MM, YYYY-MM-DDTHH:MM or YYYYMMDDHHMM; empty sends "
                   "now");
  send->add_option("--count", options->count,
                   "Number of rows to send (default: every row of the sheet, read with --file)")
      ->check(CLI::Range(int64_t{1}, int64_t{999999}));
  send->add_flag("--dry-run", options->dry_run, "Run the checks, send nothing");
  send->add_flag("--yes,-y", options->yes,
                 "Send without asking (qx asks only when standard input is a terminal)");
  send->add_option("--home", options->home, "The engine's home, where pictures are staged");
  CLI::Option* ad = send->add_flag(
      "--ad", options->advert,
      "An advertising send: the template must begin with \"(광고)\" and the business name and "
      "end with the free opt-out line; not from 21:00 to 08:00 Korean time");
  send->add_flag("--night-consent", options->night_consent,
                 "Every recipient agreed separately to advertising at night (asked again at a "
                 "terminal unless --yes)")
      ->needs(ad);
  AddProgressOption(send, &options->progress);
  send->callback([options] { options->action = "send"; });

  for (CLI::App* sub : {count, preview, send, check}) {
    sub->add_option("--file", options->file,
                    "Workbook to choose first (default: the one last listed)")
        ->check(ExistingFileIn(options->language));
  }
  for (CLI::App* sub : {list, count, preview, send, check}) sub->footer(kExitCodesHelp);
  return excel;
}

// --page and --size of a listing.
void AddPageOptions(CLI::App* listing, int* page, int* size) {
  listing->add_option("--page", *page, "Page, from 1")
      ->capture_default_str()
      ->check(CLI::Range(1, 1000000));
  listing->add_option("--size", *size, "Rows per page")
      ->capture_default_str()
      ->check(CLI::Range(1, 1000));
}

CLI::App* AddMessagesCommand(CLI::App& app, MessagesOptions* options) {
  CLI::App* messages =
      app.add_subcommand("messages", "Browse saved messages and the catalogue of ready-made texts");
  messages->require_subcommand(1);
  messages->footer(kExitCodesHelp);

  CLI::App* saved = messages->add_subcommand("saved", "List your saved messages (MYMSG)");
  saved->add_option("--type", options->type, "SMS (with the counts of both kinds) or LMS")
      ->capture_default_str()
      ->check(CLI::IsMember({"SMS", "LMS"}));
  saved->callback([options] { options->action = "saved"; });

  CLI::App* save = messages->add_subcommand("save", "Save a message to your box (MYMSG SAVE)");
  save->add_option("--text", options->text, "Message text")->required();
  save->add_option("--subject", options->subject, "Subject");
  save->add_option("--type", options->type, "SMS or LMS")
      ->capture_default_str()
      ->check(CLI::IsMember({"SMS", "LMS"}));
  save->callback([options] { options->action = "save"; });

  CLI::App* catalogue =
      messages->add_subcommand("catalogue", "Browse the catalogue of ready-made texts (EMOTN)");
  catalogue->add_option("--category", options->type, "Category")->capture_default_str();
  catalogue->add_option("--group", options->group,
                        "Group number; without it: the group list and the first group");
  catalogue->callback([options] { options->action = "catalogue"; });

  for (CLI::App* sub : {saved, catalogue}) {
    AddPageOptions(sub, &options->page, &options->size);
    sub->footer(kExitCodesHelp);
  }
  save->footer(kExitCodesHelp);
  return messages;
}

CLI::App* AddResultsCommand(CLI::App& app, ResultsOptions* options) {
  CLI::App* results = app.add_subcommand("results", "Show the results of past sends (SENDL)");
  results->add_option("--from", options->from, "First day, e.g. 2024-03-01");
  results->add_option("--to", options->to, "Last day");
  results->add_option("--kind", options->kind, "SMS, LMS or MMS")
      ->check(CLI::IsMember({"SMS", "LMS", "MMS"}));
  results->add_option("--result", options->result, "Result code (0 done, 1 failed, 2 waiting)");
  results->add_option("--phone", options->phone, "Only sends from this number");
  AddPageOptions(results, &options->page, &options->size);
  results->footer(kExitCodesHelp);
  return results;
}

CLI::App* AddStatsCommand(CLI::App& app, StatsOptions* options) {
  CLI::App* stats = app.add_subcommand("stats", "Show the daily usage statistics (CASHL)");
  stats->add_option("--from", options->from, "First month, YYYY-MM");
  stats->add_option("--to", options->to, "Last month, YYYY-MM");
  stats->footer(kExitCodesHelp);
  return stats;
}

CLI::App* AddJobsCommand(CLI::App& app, JobsOptions* options) {
  CLI::App* jobs = app.add_subcommand(
      "jobs", "The send journal: the newest jobs and how far each went (or a sub-command)");
  jobs->add_option("--limit", options->limit, "Most jobs to list")
      ->capture_default_str()
      ->check(CLI::Range(1, 1000));
  jobs->footer(kExitCodesHelp);

  CLI::App* show = jobs->add_subcommand("show", "One job: what was sent, to whom, how it ended");
  show->add_option("ID", options->job, "Job number (as qx jobs lists it)")->required();
  show->callback([options] { options->action = "show"; });

  CLI::App* resend = jobs->add_subcommand(
      "resend", "Send the rest of a job again: its recipients not sent, never one acknowledged");
  resend->add_option("ID", options->job, "Job number")->required();
  resend->add_flag("--include-in-doubt", options->include_in_doubt,
                   "Also those in doubt (handed out, never acknowledged: the gateway may have "
                   "them)");
  resend->add_flag("--yes", options->yes, "Do not ask");
  resend->add_option("--progress", options->progress, "auto, always or never")
      ->check(CLI::IsMember({"auto", "always", "never"}));
  resend->callback([options] { options->action = "resend"; });

  CLI::App* exp = jobs->add_subcommand("export", "Write a job's recipients and their states");
  exp->add_option("ID", options->job, "Job number")->required();
  exp->add_option("--csv", options->csv, "CSV file to write (UTF-8)");
  exp->add_option("--xlsx", options->xlsx, "Workbook file to write");
  exp->add_flag("--force", options->force,
                "Replace the file when it is there (a regular file only, never through a link)");
  exp->callback([options] { options->action = "export"; });

  CLI::App* forget =
      jobs->add_subcommand("forget", "Remove the ended jobs started before a day from the journal");
  forget->add_option("--before", options->before, "The day, YYYY-MM-DD (local time)")->required();
  forget->add_flag("--yes", options->yes, "Do not ask");
  forget->callback([options] { options->action = "forget"; });
  return jobs;
}

CLI::App* AddBookCommand(CLI::App& app, BookOptions* options) {
  CLI::App* book = app.add_subcommand(
      "book",
      "Edit an address book file (QXBOOK.mdb) directly; optout and callbacks: the engine's lists");
  book->require_subcommand(1);
  CLI::Option* file =
      book->add_option(
              "--file", options->file,
              "Address book file (default: the engine's own when an engine answers, else this)")
          ->capture_default_str();
  book->callback([options, file] { options->file_given = file->count() > 0; });

  book->add_subcommand("groups", "List the groups: name, address count, level, key")
      ->callback([options] { options->action = "groups"; });

  CLI::App* add = book->add_subcommand("add-group", "Add an empty group");
  add->add_option("NAME", options->group, "Group name")
      ->required()
      ->check(CLI::Validator(
          [](std::string& name) { return name.empty() ? "a group needs a name" : ""; }, "NAME"));
  add->callback([options] { options->action = "add-group"; });

  CLI::App* remove = book->add_subcommand("remove-group", "Remove a group and its addresses");
  remove->add_option("NAME", options->group, "Group name")->required();
  remove->callback([options] { options->action = "remove-group"; });

  CLI::App* import_file =
      book->add_subcommand("import", "Add the contacts of a CSV or workbook file to a group");
  import_file->add_option("GROUP", options->group, "Group name")->required();
  import_file
      ->add_option("FILE", options->csv,
                   "CSV file (UTF-8, one name,phone per line), or a workbook (.xlsx, .xls, "
                   ".ods) whose first sheet holds names and phone numbers in its first two "
                   "columns")
      ->required()
      ->check(ExistingFileIn(options->language));
  import_file->callback([options] { options->action = "import"; });

  CLI::App* exp = book->add_subcommand("export", "Write a group's contacts as CSV to stdout");
  exp->add_option("GROUP", options->group, "Group name")->required();
  exp->callback([options] { options->action = "export"; });
  return book;
}

// qx book optout and qx book callbacks: the engine's lists, under qx book.
void AddRulesListCommands(CLI::App* book, RulesListOptions* options) {
  CLI::App* optout = book->add_subcommand(
      "optout", "The engine's opt-out list (수신거부): numbers no send reaches");
  CLI::App* callbacks = book->add_subcommand(
      "callbacks",
      "The engine's registered callback numbers (발신번호): the only ones a send may use");
  for (CLI::App* list : {optout, callbacks}) {
    const std::string name = list->get_name();
    list->require_subcommand(1);
    list->footer(kExitCodesHelp);
    list->add_subcommand("list", "Show the list")->callback([options, name] {
      options->list = name;
      options->action = "list";
    });
    CLI::App* add = list->add_subcommand("add", "Add numbers to the list");
    add->add_option("NUMBERS", options->numbers,
                    "Numbers, or lists of them separated by commas or semicolons")
        ->required();
    add->add_option("--note", options->note,
                    name == "optout" ? "Note kept with the numbers" : "Label of the numbers");
    add->callback([options, name] {
      options->list = name;
      options->action = "add";
    });
    CLI::App* remove = list->add_subcommand("remove", "Take numbers off the list");
    remove->add_option("NUMBERS", options->numbers, "Numbers")->required();
    remove->callback([options, name] {
      options->list = name;
      options->action = "remove";
    });
  }
  CLI::App* import_file = optout->add_subcommand(
      "import", "Add the numbers of a file: one a line, or the first column of a CSV or workbook");
  import_file->add_option("FILE", options->file, "Text, CSV, .xlsx, .xls or .ods file")
      ->required()
      ->check(ExistingFileIn(options->language));
  import_file->add_option("--note", options->note, "Note kept with the numbers");
  import_file->callback([options] {
    options->list = "optout";
    options->action = "import";
  });
  CLI::App* exp = optout->add_subcommand(
      "export", "Write the list to a file: one number a line, with its note after a comma");
  exp->add_option("FILE", options->file, "File to write (- for standard output)")->required();
  exp->callback([options] {
    options->list = "optout";
    options->action = "export";
  });
}

CLI::App* AddSettingsCommand(CLI::App& app, SettingsOptions* options) {
  CLI::App* settings = app.add_subcommand(
      "settings", "Show the sending-rule settings the engine keeps (or change one)");
  settings->footer(kExitCodesHelp);
  CLI::App* set = settings->add_subcommand(
      "set",
      "Change a setting: business_name, optout_number (080), optout_applies (ad or all) "
      "or own_number; an empty value clears it");
  set->add_option("NAME", options->name, "Setting")
      ->required()
      ->check(CLI::IsMember({"business_name", "optout_number", "optout_applies", "own_number"}));
  set->add_option("VALUE", options->value, "Value")->required();
  set->footer(kExitCodesHelp);
  set->callback([options] { options->set = true; });
  return settings;
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

// Parses the command line and runs the sub-command it names; returns qx's exit status.
int RunQx(int argc, char** argv) {
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

  parley::BookOptions book_options;
  book_options.language = language;
  parley::LoginOptions login_options;
  parley::CheckOptions check_options;
  parley::SendOptions send_options;
  parley::MessagesOptions messages_options;
  parley::ResultsOptions results_options;
  parley::StatsOptions stats_options;
  parley::ExcelOptions excel_options;
  parley::JobsOptions jobs_options;
  jobs_options.language = language;
  login_options.language = check_options.language = send_options.language = excel_options.language =
      results_options.language = stats_options.language = messages_options.language = language;
  login_options.prompt = terminal;
  parley::RulesListOptions rules_list_options;
  rules_list_options.language = language;
  parley::SettingsOptions settings_options;
  settings_options.language = language;
  CLI::App* book_command = parley::AddBookCommand(app, &book_options);
  parley::AddRulesListCommands(book_command, &rules_list_options);
  std::ostream& out = std::cout;
  std::ostream& err = std::cerr;
  const std::vector<std::pair<CLI::App*, std::function<int()>>> commands = {
      {book_command,
       [&] {
         if (!rules_list_options.list.empty()) {
           return parley::RunRulesListCommand(rules_list_options, target, out, err);
         }
         if (!book_options.file_given) {
           parley::ChooseBookFile(target, language, &book_options.file, err);
         }
         return parley::RunBookCommand(book_options, out, err);
       }},
      {raw, [&] { return RunRaw(code, body, target); }},
      {parley::AddLoginCommand(app, &login_options),
       [&] { return parley::RunLoginCommand(login_options, target, out, err); }},
      {parley::AddLogoutCommand(app),
       [&] { return parley::RunEndCommand(0, language, target, out, err); }},
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
      {app.add_subcommand("status",
                          "Show the login, the engine, its address book and the last job (STATE)")
           ->footer(parley::kExitCodesHelp),
       [&] { return parley::RunStatusCommand(language, target, out, err); }},
      {parley::AddJobsCommand(app, &jobs_options),
       [&] { return parley::RunJobsCommand(jobs_options, target, out, err); }},
      {parley::AddSettingsCommand(app, &settings_options),
       [&] { return parley::RunSettingsCommand(settings_options, target, out, err); }},
      {parley::AddQuitCommand(app),
       [&] { return parley::RunEndCommand(1, language, target, out, err); }},
  };

  try {
    app.parse(argc, argv);
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
  jobs_options.confirm = terminal && !jobs_options.yes;
  for (const auto& [command, run] : commands) {
    if (command->parsed()) return run();
  }
  return parley::kExitUsage;
}

}  // namespace
}  // namespace parley

int main(int argc, char** argv) { return parley::RunQx(argc, argv); }
