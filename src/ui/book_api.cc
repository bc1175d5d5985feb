#include "ui/book_api.h"

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "client/book_file.h"
#include "client/engine_state.h"
#include "client/group_name.h"
#include "client/phone_number.h"
#include "client/workbook_request.h"
#include "ui/json_writer.h"
#include "ui/ui_link.h"

namespace parley {
namespace {

constexpr auto kBookWait = std::chrono::seconds(30);

ApiReply Done(std::string_view key = {}, int64_t value = 0) {
  JsonWriter json;
  json.BeginObject().Field("ok", true);
  if (!key.empty()) json.Field(key, value);
  json.EndObject();
  return {200, json.text()};
}

// A failure of the book file itself (the database's reason).
ApiReply Failed(const std::string& reason) {
  return Refused({Verdict{Msg::kBookFailed, {reason}}}, 500);
}

// The group exists in the book.
bool HasGroup(BookFile& book, const std::string& name) {
  std::vector<BookGroup> groups;
  std::string error;
  if (!book.Groups(&groups, &error)) return false;
  for (const BookGroup& g : groups) {
    if (g.name == name) return true;
  }
  return false;
}

// A contact's name and phone as the page gave them: the verdict that refuses them, if any.
std::optional<Verdict> ContactProblem(const std::string& name, const std::string& phone) {
  if (name.find_first_not_of(" \t") == std::string::npos) {
    return Verdict{Msg::kBookNoName, {}, "name"};
  }
  const NumberResult number = NormalizeNumber(phone, NumberUse::kRecipient);
  if (!number.ok()) return Verdict{number.reason, {phone}, "phone", phone};
  return std::nullopt;
}

int64_t Id(const ApiFields& fields) { return std::atoll(Field(fields, "id").c_str()); }

// The refusal of a group the book does not have.
ApiReply NoGroup(const std::string& group) { return NoGroup(group); }

}  // namespace

std::unique_ptr<BookFile> BookApi::Open(ApiReply* failure) {
  const auto reply = link_.Ask("STATE", "", kBookWait);
  EngineState state;
  if (!reply || !ParseEngineState(*reply, &state) || state.book_path.empty()) {
    *failure = NoEngine();
    return nullptr;
  }
  auto book = std::make_unique<BookFile>();
  std::string error;
  if (!book->Open(state.book_path, &error)) {
    *failure = Failed(error);
    return nullptr;
  }
  return book;
}

ApiReply BookApi::Groups() {
  ApiReply failure;
  const auto book = Open(&failure);
  if (!book) return failure;
  std::vector<BookGroup> groups;
  std::string error;
  if (!book->Groups(&groups, &error)) return Failed(error);
  JsonWriter json;
  json.BeginObject().Field("ok", true).Key("groups").BeginArray();
  for (const BookGroup& g : groups) {
    json.BeginObject().Field("name", g.name).Field("members", g.addrnum).EndObject();
  }
  json.EndArray().EndObject();
  return {200, json.text()};
}

ApiReply BookApi::Members(const ApiFields& fields) {
  ApiReply failure;
  const auto book = Open(&failure);
  if (!book) return failure;
  const std::string group = Field(fields, "group");
  if (!HasGroup(*book, group)) return NoGroup(group);
  std::vector<BookContact> contacts;
  std::string error;
  if (!book->Members(group, &contacts, &error)) return Failed(error);
  JsonWriter json;
  json.BeginObject().Field("ok", true).Field("group", group).Key("contacts").BeginArray();
  for (const BookContact& c : contacts) {
    json.BeginObject().Field("id", c.id).Field("name", c.name).Field("phone", c.phone).EndObject();
  }
  json.EndArray().EndObject();
  return {200, json.text()};
}

ApiReply BookApi::AddGroup(const ApiFields& fields) {
  ApiReply failure;
  const auto book = Open(&failure);
  if (!book) return failure;
  const std::string name = Field(fields, "name");
  if (const GroupNameProblem problem = CheckGroupName(name); problem != GroupNameProblem::kNone) {
    return Refused({Verdict{GroupNameMsg(problem), {name}, kFieldGroup, name}});
  }
  if (HasGroup(*book, name)) {
    return Refused({Verdict{Msg::kBookGroupExists, {name}, kFieldGroup, name}});
  }
  std::string error;
  if (!book->AddGroup(name, &error)) return Failed(error);
  return Done();
}

ApiReply BookApi::RemoveGroup(const ApiFields& fields) {
  ApiReply failure;
  const auto book = Open(&failure);
  if (!book) return failure;
  const std::string name = Field(fields, "name");
  if (!HasGroup(*book, name)) return NoGroup(name);
  std::string error;
  if (!book->RemoveGroup(name, &error)) return Failed(error);
  return Done();
}

ApiReply BookApi::AddContact(const ApiFields& fields) {
  ApiReply failure;
  const auto book = Open(&failure);
  if (!book) return failure;
  const std::string group = Field(fields, "group");
  const std::string name = Field(fields, "name");
  const std::string phone = Field(fields, "phone");
  if (!HasGroup(*book, group)) return NoGroup(group);
  if (auto problem = ContactProblem(name, phone)) return Refused({*problem});
  std::string error;
  if (!book->AddContact(group, name, NormalizeNumber(phone, NumberUse::kRecipient).number,
                        &error)) {
    return Failed(error);
  }
  return Done();
}

ApiReply BookApi::UpdateContact(const ApiFields& fields) {
  ApiReply failure;
  const auto book = Open(&failure);
  if (!book) return failure;
  const std::string name = Field(fields, "name");
  const std::string phone = Field(fields, "phone");
  if (auto problem = ContactProblem(name, phone)) return Refused({*problem});
  std::string error;
  if (!book->UpdateContact(Id(fields), name, NormalizeNumber(phone, NumberUse::kRecipient).number,
                           &error)) {
    return Refused({Verdict{Msg::kBookNoContact}});
  }
  return Done();
}

ApiReply BookApi::MoveContact(const ApiFields& fields) {
  ApiReply failure;
  const auto book = Open(&failure);
  if (!book) return failure;
  const std::string group = Field(fields, "group");
  if (!HasGroup(*book, group)) return NoGroup(group);
  std::string error;
  if (!book->MoveContact(Id(fields), group, &error)) return Refused({Verdict{Msg::kBookNoContact}});
  return Done();
}

ApiReply BookApi::RemoveContact(const ApiFields& fields) {
  ApiReply failure;
  const auto book = Open(&failure);
  if (!book) return failure;
  std::string error;
  if (!book->RemoveContact(Id(fields), &error)) return Refused({Verdict{Msg::kBookNoContact}});
  return Done();
}

ApiReply BookApi::Import(const ApiFields& fields, const std::string& path) {
  ApiReply failure;
  const auto book = Open(&failure);
  if (!book) return failure;
  const std::string group = Field(fields, "group");
  if (!HasGroup(*book, group)) return NoGroup(group);
  // Its own check first: every row's phone by the number rule; rows that fail are named, the
  // rest go in.
  std::vector<std::vector<std::string>> cells;
  std::string error;
  if (!ReadContactRows(path, &cells, &error)) {
    return Refused({Verdict{Msg::kWorkbookUnreadable, {Field(fields, "name"), error}}});
  }
  std::ostringstream csv;
  std::vector<Verdict> left_out;
  for (size_t i = 0; i < cells.size(); ++i) {
    const std::string& name = cells[i][0];
    const std::string& phone = cells[i][1];
    const NumberResult number = NormalizeNumber(phone, NumberUse::kRecipient);
    if (!number.ok()) {
      // A heading row is no contact and no fault.
      if (i == 0 && phone.find_first_of("0123456789") == std::string::npos) continue;
      left_out.push_back(Verdict{number.reason, {phone}, "row", phone, static_cast<int>(i) + 1});
      continue;
    }
    std::string quoted = "\"";
    for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    csv << quoted << "\"," << number.number << "\n";
  }
  std::istringstream in(csv.str());
  int added = 0;
  if (!book->Import(group, in, &added, &error)) return Failed(error);
  JsonWriter json;
  json.BeginObject().Field("ok", true).Field("added", static_cast<int64_t>(added));
  WriteVerdicts(json, "left_out", left_out);
  json.EndObject();
  return {200, json.text()};
}

std::optional<std::string> BookApi::Export(const ApiFields& fields, ApiReply* refused) {
  const auto book = Open(refused);
  if (!book) return std::nullopt;
  const std::string group = Field(fields, "group");
  std::ostringstream out;
  std::string error;
  if (!HasGroup(*book, group) || !book->Export(group, out, &error)) {
    *refused = NoGroup(group);
    return std::nullopt;
  }
  return "\xEF\xBB\xBF" + out.str();  // a byte order mark, so that spreadsheet programs read UTF-8
}

}  // namespace parley
