#include "ui/journal_api.h"

#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "client/engine_refusal.h"
#include "client/engine_state.h"
#include "client/reply_fields.h"
#include "protocol/markup.h"
#include "protocol/status_messages.h"
#include "text/cp949.h"
#include "ui/json_writer.h"
#include "ui/ui_link.h"

namespace parley {
namespace {

constexpr auto kCommandWait = std::chrono::seconds(60);
// A resend waits for its whole job, as a send does.
constexpr auto kSendWait = std::chrono::hours(2);
constexpr int64_t kListedJobs = 200;

// The fields of one CSV line as the engine writes its exports: every field quoted, "" inside.
// A field the engine guarded against spreadsheet formulas starts with "'", taken off here.
std::vector<std::string> CsvFields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
    } else if (c != '\r') {
      field += c;
    }
  }
  fields.push_back(std::move(field));
  for (std::string& f : fields) {
    if (f.size() > 1 && f[0] == '\'' &&
        std::string_view("=+-@\t\r").find(f[1]) != std::string::npos) {
      f.erase(0, 1);
    }
  }
  return fields;
}

// The digits of a number, for searching.
std::string Digits(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

}  // namespace

ApiReply JournalApi::Jobs() {
  const auto reply = link_.Ask("JOBLS", std::to_string(kListedJobs), kCommandWait);
  if (!reply) return NoEngine();
  const auto list = protocol::JobListReply::Parse(*reply);
  JsonWriter json;
  json.BeginObject().Field("ok", list.has_value()).Key("jobs").BeginArray();
  for (const protocol::JobRow& j : list ? list->jobs : std::vector<protocol::JobRow>{}) {
    json.BeginObject()
        .Field("id", j.id)
        .Field("started", j.started)
        .Field("ended", j.ended)
        .Field("command", j.command)
        .Field("kind", j.kind)
        .Field("title", AnsiToUtf8(j.title))
        .Field("source", AnsiToUtf8(j.source))
        .Field("callback", AnsiToUtf8(j.callback))
        .Field("reserve", j.reserve_date)
        .Field("total", j.total)
        .Field("acknowledged", j.acknowledged)
        .Field("in_doubt", j.in_doubt)
        .Field("not_sent", j.not_sent)
        .Field("left_out", j.left_out)
        .Field("ending", j.ending)
        .Field("report", j.report)
        .Field("resend_of", j.resend_of)
        .Field("resent_as", j.resent_as)
        .EndObject();
  }
  json.EndArray().EndObject();
  return {200, json.text()};
}

std::optional<std::filesystem::path> JournalApi::ExportToFile(int64_t id, const std::string& format,
                                                              ApiReply* refused) {
  std::string dir = (folder_ / "job-XXXXXX").string();
  if (folder_.empty() || ::mkdtemp(dir.data()) == nullptr) {
    *refused = Refused({Verdict{Msg::kEngineCannotWrite, {folder_.string(), "mkdtemp"}}}, 500);
    return std::nullopt;
  }
  const std::filesystem::path path =
      std::filesystem::path(dir) / ("job-" + std::to_string(id) + "." + format);
  const auto reply = link_.Ask(
      "JOBEX", protocol::JobExportRequest{id, path.string(), format, false}.Build(), kCommandWait);
  if (!reply) {
    *refused = NoEngine();
    return std::nullopt;
  }
  if (protocol::IsExceptionText(*reply)) {
    *refused = Refused({EngineRefusalVerdict(*reply)});
    return std::nullopt;
  }
  return path;
}

ApiReply JournalApi::Recipients(const ApiFields& fields) {
  const int64_t id = std::atoll(Field(fields, "id").c_str());
  ApiReply refused;
  const auto path = ExportToFile(id, "csv", &refused);
  if (!path) return refused;
  const std::string search = Digits(Field(fields, "number"));
  const std::string state = Field(fields, "state");
  std::ifstream in(*path, std::ios::binary);
  std::map<std::string, int64_t> counts;
  int64_t matching = 0;
  JsonWriter json;
  json.BeginObject().Field("ok", true).Field("id", id).Key("recipients").BeginArray();
  std::string line;
  std::getline(in, line);  // the heading row
  for (int64_t row = 0; std::getline(in, line); ++row) {
    const std::vector<std::string> f = CsvFields(line);
    if (f.size() < 3) continue;
    // place, number, state, content; a row left out: "row N", the cell, "left out", the reason.
    ++counts[f[2]];
    if (!state.empty() && f[2] != state) continue;
    if (!search.empty() && Digits(f[1]).find(search) == std::string::npos) continue;
    if (++matching > static_cast<int64_t>(kShownRecipients)) continue;
    json.BeginObject()
        .Field("place", f[0])
        .Field("number", f[1])
        .Field("state", f[2])
        .Field("reason", f[2] == "left out" && f.size() > 3 ? f[3] : std::string())
        .EndObject();
  }
  json.EndArray().Field("matching", matching).Key("counts").BeginObject();
  for (const auto& [name, count] : counts) json.Field(name, count);
  json.EndObject().EndObject();
  std::error_code ignored;
  std::filesystem::remove_all(path->parent_path(), ignored);
  return {200, json.text()};
}

std::optional<JournalApi::Download> JournalApi::Export(const ApiFields& fields, ApiReply* refused) {
  const int64_t id = std::atoll(Field(fields, "id").c_str());
  const std::string format = Field(fields, "format") == "xlsx" ? "xlsx" : "csv";
  const auto path = ExportToFile(id, format, refused);
  if (!path) return std::nullopt;
  std::ifstream in(*path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  std::error_code ignored;
  std::filesystem::remove_all(path->parent_path(), ignored);
  return Download{path->filename().string(), bytes.str(),
                  format == "xlsx"
                      ? "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"
                      : "text/csv; charset=utf-8"};
}

ApiReply JournalApi::Resend(const ApiFields& fields) {
  const int64_t id = std::atoll(Field(fields, "id").c_str());
  const bool in_doubt = Field(fields, "in_doubt") == "1";
  const auto reply =
      link_.Ask("JOBRS", protocol::JobResendRequest{id, in_doubt}.Build(), kSendWait);
  if (!reply) return NoEngine();
  if (protocol::IsExceptionText(*reply)) return Refused({EngineRefusalVerdict(*reply)}, 200);
  const auto answer = protocol::JobResendReply::Parse(*reply);
  EngineState state;
  const auto state_reply = link_.Ask("STATE", "", kCommandWait);
  const bool have_state = state_reply && ParseEngineState(*state_reply, &state);
  JsonWriter json;
  json.BeginObject()
      .Field("ok", answer.has_value() && have_state && state.outcome == "done")
      .Field("job", answer ? answer->job : 0)
      .Field("outcome", have_state ? state.outcome : std::string())
      .Field("sent", state.sent)
      .Field("total", state.total);
  if (const std::optional<Verdict> failure = have_state ? GatewayFailure(state) : std::nullopt) {
    json.Key("failure");
    WriteVerdict(json, *failure);
  }
  json.EndObject();
  return {200, json.text()};
}

}  // namespace parley
