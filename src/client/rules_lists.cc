#include "client/rules_lists.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "client/book_file.h"
#include "text/cp949.h"

namespace parley {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

bool HasDigit(const std::string& text) {
  return text.find_first_of("0123456789") != std::string::npos;
}

// The first field of a CSV line: up to the first comma, or a quoted field without its quotes.
std::string FirstField(const std::string& line) {
  if (!line.starts_with("\"")) return line.substr(0, line.find(','));
  std::string field;
  for (size_t i = 1; i < line.size(); ++i) {
    if (line[i] == '"') {
      if (i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
        continue;
      }
      break;
    }
    field += line[i];
  }
  return field;
}

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

Verdict RefusedItemVerdict(const protocol::RefusedItem& refused) {
  const std::string item = AnsiToUtf8(refused.item);
  Msg code = Msg::kNumberNotDigits;
  if (refused.problem == "empty") code = Msg::kNumberEmpty;
  if (refused.problem == "not-mobile") code = Msg::kNumberNotMobile;
  if (refused.problem == "not-callback") code = Msg::kNumberNotCallback;
  return {code, {item}, {}, item};
}

Verdict AddedVerdict(const protocol::NumbersAddReply& reply) {
  return {Msg::kListAdded, {std::to_string(reply.added), std::to_string(reply.already)}};
}

Verdict RemovedVerdict(const protocol::NumbersRemoveReply& reply) {
  return {Msg::kListRemoved, {std::to_string(reply.removed), std::to_string(reply.absent)}};
}

std::string OptOutCheckBody(const SendOptions& checked) {
  auto joined = [](const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ",") + item;
    return out;
  };
  return protocol::OptOutCheckRequest{checked.advert, joined(checked.groups), joined(checked.to)}
      .Build();
}

Verdict OptOutVerdict(const protocol::OptOutCheckReply& reply) {
  if (reply.recipients > 0 && reply.opted_out >= reply.recipients) {
    return {Msg::kAllOptedOut, {std::to_string(reply.opted_out)}, kFieldTo};
  }
  return {Msg::kOptedOutLeftOut, {std::to_string(reply.opted_out)}, kFieldTo};
}

std::optional<Verdict> ItemsOfListFile(const std::string& path, std::vector<std::string>* items) {
  const std::string ext = Lower(std::filesystem::path(path).extension().string());
  std::vector<std::string> cells;
  if (ext == ".xlsx" || ext == ".xls" || ext == ".ods") {
    std::vector<std::vector<std::string>> rows;
    std::string error;
    if (!ReadContactRows(path, &rows, &error)) {
      return Verdict{Msg::kWorkbookUnreadable, {path, error}, kFieldToFile, path};
    }
    for (const auto& row : rows) cells.push_back(row.empty() ? "" : row[0]);
  } else {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Verdict{Msg::kFileUnreadable, {path}, kFieldToFile, path};
    for (std::string line; std::getline(in, line);) cells.push_back(FirstField(line));
    if (!cells.empty() && cells[0].starts_with("\xEF\xBB\xBF")) cells[0].erase(0, 3);
  }
  bool first = true;
  for (const std::string& cell : cells) {
    const std::string item = Trimmed(cell);
    const bool heading = first && !HasDigit(item);
    first = false;
    if (!item.empty() && !heading) items->push_back(item);
  }
  if (items->empty()) return Verdict{Msg::kListFileEmpty, {path}, kFieldToFile, path};
  return std::nullopt;
}

std::string ListFileText(const protocol::NumberListReply& list) {
  std::string text;
  for (const protocol::ListedNumber& entry : list.entries) {
    text += entry.number;
    if (!entry.note.empty()) text += "," + CsvField(AnsiToUtf8(entry.note));
    text += "\n";
  }
  return text;
}

}  // namespace parley
