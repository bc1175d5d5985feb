#include "qx/rules_list_command.h"

#include <ctime>
#include <fstream>
#include <optional>
#include <ostream>

#include "client/engine_refusal.h"
#include "client/rules_lists.h"
#include "protocol/markup.h"
#include "protocol/rules_messages.h"
#include "qx/exit_codes.h"
#include "qx/text_table.h"
#include "text/cp949.h"

namespace parley {
namespace {

// The command codes of a list.
struct ListCodes {
  const char* list;
  const char* add;
  const char* remove;
};

std::string LocalTime(int64_t unix_time) {
  if (unix_time <= 0) return "";
  const std::time_t t = static_cast<std::time_t>(unix_time);
  std::tm local{};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return text;
}

// The engine's refusal (or a reply of no known shape) in the user's words.
int Refused(const std::string& prefix, const std::string& reply, Language language,
            std::ostream& err) {
  err << prefix << Word(language, EngineRefusalVerdict(reply)) << "\n";
  return kExitRefused;
}

int AddItems(LinkSession& session, const ListCodes& codes, const std::vector<std::string>& items,
             const std::string& note, const std::string& prefix, Language language,
             std::ostream& out, std::ostream& err) {
  std::string reply;
  if (!session.Ask(codes.add, protocol::NumbersAddRequest{items, note}.Build(), &reply)) {
    return kExitNoEngine;
  }
  const std::optional<protocol::NumbersAddReply> added = protocol::NumbersAddReply::Parse(reply);
  if (!added) return Refused(prefix, reply, language, err);
  for (const protocol::RefusedItem& refused : added->refused) {
    const Verdict why = RefusedItemVerdict(refused);
    err << prefix << Text(language, Msg::kListItemRefused, {why.item, Word(language, why)}) << "\n";
  }
  out << Word(language, AddedVerdict(*added)) << "\n";
  return added->refused.empty() ? kExitOk : kExitUsage;
}

}  // namespace

int RunRulesListCommand(const RulesListOptions& options, const LinkTarget& target,
                        std::ostream& out, std::ostream& err) {
  const Language lang = options.language;
  const bool optout = options.list == "optout";
  const ListCodes codes =
      optout ? ListCodes{"OPTLS", "OPTAD", "OPTRM"} : ListCodes{"CBKLS", "CBKAD", "CBKRM"};
  const std::string prefix = "qx book " + options.list + " " + options.action + ": ";

  std::vector<std::string> items = options.numbers;
  if (options.action == "import") {
    items.clear();
    if (const auto unread = ItemsOfListFile(options.file, &items)) {
      err << prefix << Word(lang, *unread) << "\n";
      return kExitUsage;
    }
  }

  LinkSession session(target, err);
  if (!session.Open()) return kExitNoEngine;
  std::string reply;
  if (options.action == "add" || options.action == "import") {
    return AddItems(session, codes, items, options.note, prefix, lang, out, err);
  }
  if (options.action == "remove") {
    if (!session.Ask(codes.remove, protocol::NumbersRemoveRequest{items}.Build(), &reply)) {
      return kExitNoEngine;
    }
    const auto removed = protocol::NumbersRemoveReply::Parse(reply);
    if (!removed) return Refused(prefix, reply, lang, err);
    out << Word(lang, RemovedVerdict(*removed)) << "\n";
    return kExitOk;
  }

  if (!session.Ask(codes.list, "", &reply)) return kExitNoEngine;
  const auto list = protocol::NumberListReply::Parse(reply, optout);
  if (!list) return Refused(prefix, reply, lang, err);
  if (options.action == "export") {
    const std::string text = ListFileText(*list);
    if (options.file == "-") {
      out << text;
      return kExitOk;
    }
    std::ofstream file(options.file, std::ios::binary | std::ios::trunc);
    if (!(file << text) || !file.flush()) {
      err << prefix << Text(lang, Msg::kFileUnwritable, {options.file}) << "\n";
      return kExitUsage;
    }
    out << Text(lang, Msg::kListExported, {std::to_string(list->entries.size()), options.file})
        << "\n";
    return kExitOk;
  }
  TextTable table(Headings(lang, optout ? Msg::kOptOutHeadings : Msg::kCallbackHeadings),
                  Text(lang, Msg::kTableEmpty));
  for (const protocol::ListedNumber& entry : list->entries) {
    if (optout) {
      table.AddRow({entry.number, LocalTime(entry.added), AnsiToUtf8(entry.note)});
    } else {
      table.AddRow({entry.number, AnsiToUtf8(entry.note)});
    }
  }
  table.Print(out);
  return kExitOk;
}

}  // namespace parley
