#include "qx/messages_command.h"

#include <ostream>

#include "client/message_text.h"
#include "protocol/query_requests.h"
#include "qx/exit_codes.h"
#include "qx/reply_text.h"
#include "qx/text_table.h"

namespace parley {
namespace {

constexpr size_t kTextColumns = 48;
using protocol::kFirstPageTag;

// The web service's rows of saved messages: number, subject, text, kind, time saved.
void PrintSaved(std::string_view rows, Language language, std::ostream& out) {
  TextTable table(Headings(language, Msg::kSavedHeadings), Text(language, Msg::kTableEmpty));
  for (auto& row : WebRows(rows)) {
    row.resize(5);
    table.AddRow({row[0], row[1], Ellipsize(row[2], kTextColumns), row[3], row[4]});
  }
  table.Print(out);
}

// Catalogue texts: number, group name, text.
void PrintTexts(std::string_view rows, Language language, std::ostream& out) {
  TextTable table(Headings(language, Msg::kCatalogueTextHeadings),
                  Text(language, Msg::kTableEmpty));
  for (auto& row : WebRows(rows)) {
    row.resize(3);
    table.AddRow({row[0], row[1], Ellipsize(row[2], kTextColumns)});
  }
  table.Print(out);
}

// Catalogue groups: number, name, number of texts.
void PrintGroups(std::string_view rows, Language language, std::ostream& out) {
  TextTable table(Headings(language, Msg::kCatalogueGroupHeadings),
                  Text(language, Msg::kTableEmpty));
  for (auto& row : WebRows(rows)) table.AddRow(row);
  table.Print(out);
}

}  // namespace

int RunMessagesCommand(const MessagesOptions& options, const LinkTarget& target, std::ostream& out,
                       std::ostream& err) {
  // The engine puts a saved text into the web form as it is: "&" or "=" would end or split its
  // field, and "<", ">" and the backtick travel as "&lt;", "&gt;" and "&gacct;".
  if (options.action == "save" && (options.text.find_first_of("&=<>`") != std::string::npos ||
                                   options.subject.find_first_of("&=<>`") != std::string::npos)) {
    err << "qx messages save: " << Text(options.language, Msg::kSaveForbidden) << "\n";
    return kExitUsage;
  }
  const auto [code, body] = MessagesRequest(options);
  std::string reply;
  if (!AskOnce(target, code, body, &reply, err)) return kExitNoEngine;
  if (reply.empty()) {
    err << "qx messages: " << Text(options.language, Msg::kEngineAnsweredNothing) << "\n";
    return kExitRefused;
  }
  if (options.action == "save") {
    const std::string answer = ScreenText(AfterField(reply, 1));
    if (answer.empty()) {
      err << "qx messages save: " << Text(options.language, Msg::kNoWebAnswer) << "\n";
      return kExitRefused;
    }
    out << Text(options.language, Msg::kSavedAnswer, {answer}) << "\n";
    return kExitOk;
  }
  if (options.action == "catalogue") {
    if (options.group.empty()) {
      // "<FIRST>" groups "<QX>" count of the first group "<QX>" its texts.
      if (!reply.starts_with(kFirstPageTag)) {
        err << "qx messages: unexpected reply\n";
        return kExitRefused;
      }
      std::vector<std::string> parts =
          SplitOn(std::string_view(reply).substr(kFirstPageTag.size()), kFieldSep);
      parts.resize(2);
      PrintGroups(parts[0], options.language, out);
      out << "\n"
          << Text(options.language, Msg::kCatalogueFirstGroup, {ScreenText(parts[1])}) << "\n";
      PrintTexts(AfterField(reply, 2), options.language, out);
    } else {
      out << Text(options.language, Msg::kCatalogueGroup,
                  {options.group, ScreenText(reply.substr(0, reply.find(kFieldSep)))})
          << "\n";
      PrintTexts(AfterField(reply, 1), options.language, out);
    }
    return kExitOk;
  }
  if (options.type == "SMS") {
    // "CNT", SMS count, LMS count, the page of SMS messages.
    std::vector<std::string> parts = SplitOn(reply, kFieldSep);
    parts.resize(3);
    if (parts[1].empty() && parts[2].empty()) {
      err << "qx messages: " << Text(options.language, Msg::kNoWebAnswer) << "\n";
      return kExitRefused;
    }
    out << Text(options.language, Msg::kSavedCounts, {ScreenText(parts[1]), ScreenText(parts[2])})
        << "\n";
    PrintSaved(AfterField(reply, 3), options.language, out);
  } else {
    PrintSaved(AfterField(reply, 1), options.language, out);
  }
  return kExitOk;
}

}  // namespace parley
