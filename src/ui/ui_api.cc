#include "ui/ui_api.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <vector>

#include "client/content_requests.h"
#include "client/engine_refusal.h"
#include "client/engine_state.h"
#include "client/group_check.h"
#include "client/group_name.h"
#include "client/message_text.h"
#include "client/picture_check.h"
#include "client/reply_fields.h"
#include "client/reservation.h"
#include "client/rules_lists.h"
#include "client/send_check.h"
#include "client/send_plan.h"
#include "client/send_request.h"
#include "client/send_rules.h"
#include "client/verdict.h"
#include "client/workbook_check.h"
#include "client/workbook_request.h"
#include "protocol/excel_check.h"
#include "protocol/markup.h"
#include "protocol/query_requests.h"
#include "protocol/replies.h"
#include "protocol/rules_messages.h"
#include "protocol/send_requests.h"
#include "protocol/status_messages.h"
#include "text/cp949.h"
#include "text/mbcs.h"
#include "ui/api_reply.h"
#include "ui/json_writer.h"
#include "ui/rules_api.h"
#include "ui/ui_link.h"

namespace parley {
namespace {

using namespace std::chrono_literals;

// The longest a send may take before the page is told the engine did not answer.
constexpr auto kSendWait = std::chrono::milliseconds(std::chrono::hours(2));
constexpr auto kCommandWait = std::chrono::milliseconds(60s);

void WriteAccount(JsonWriter& json, const AccountInfo& info, Language language) {
  json.Key("account")
      .BeginObject()
      .Field("name", info.name)
      .Field("grade", info.grade)
      .Field("amount", FormatAmount(language, info.amount))
      .Field("sms", info.sms_left)
      .Field("lms", info.lms_left)
      .Field("mms", info.mms_left)
      .EndObject();
}

// The groups ticked in the page (one a line) whose names a group send cannot carry: a comma
// would split the name, an edge space would reach another group. One verdict a name.
std::vector<Verdict> GroupNameRefusals(const ApiFields& fields) {
  std::vector<Verdict> reasons;
  const std::string groups = Field(fields, "groups");
  for (std::string_view line : SplitFields(groups, '\n')) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    const GroupNameProblem problem = CheckGroupName(line);
    if (problem == GroupNameProblem::kComma || problem == GroupNameProblem::kEdgeSpace) {
      reasons.push_back(
          {GroupNameMsg(problem), {std::string(line)}, kFieldGroup, std::string(line)});
    }
  }
  return reasons;
}

// The options of a send as the page gives them: groups one a line or separated by commas.
SendOptions OptionsOf(const ApiFields& fields, Language language) {
  SendOptions o;
  if (!Field(fields, "to").empty() || Field(fields, "groups").empty()) o.to = {Field(fields, "to")};
  std::string group;
  for (const char c : Field(fields, "groups") + "\n") {
    if (c == '\n' || c == ',') {
      while (!group.empty() && (group.back() == ' ' || group.back() == '\r')) group.pop_back();
      if (!group.empty()) o.groups.push_back(group);
      group.clear();
    } else if (c != ' ' || !group.empty()) {
      group += c;
    }
  }
  o.text = Field(fields, "text");
  o.title = Field(fields, "title");
  o.callback = Field(fields, "callback");
  o.reserve = Field(fields, "reserve");
  o.advert = Field(fields, "ad") == "1";
  o.night_consent = o.advert && Field(fields, "night") == "1";
  o.language = language;
  return o;
}

// The send check of `code` (DSEND or ESEND, mode 4) for count messages of the mode; nullopt when
// the engine does not answer.
std::optional<SendCheckAnswer> AskSendCheck(UiLink& link, std::string_view code, int64_t count,
                                            int mode, const std::string& reserve) {
  const auto check = link.Ask(
      code,
      protocol::SendCheckRequest{std::to_string(count), std::to_string(mode), reserve}.Build(),
      kCommandWait);
  if (!check) return std::nullopt;
  SendCheckAnswer answer;
  if (!ParseSendCheckReply(*check, &answer)) answer = {};
  return answer;
}

// The answer of a send whose reply came: how the job ended (STATE; the gateway's ending as a
// verdict when it ended the job) and the account figures of the reply; the page words the counts.
// `texts` and `numbers`: more fields for the page.
ApiReply SendOutcome(UiLink& link, const std::string& reply, Language language,
                     const std::vector<std::pair<std::string, std::string>>& texts = {},
                     const std::vector<std::pair<std::string, int64_t>>& numbers = {}) {
  EngineState state;
  const auto state_reply = link.Ask("STATE", "", kCommandWait);
  const bool have_state = state_reply && ParseEngineState(*state_reply, &state);
  const bool done = have_state && state.outcome == "done";
  JsonWriter json;
  json.BeginObject()
      .Field("ok", done)
      .Field("outcome", have_state ? state.outcome : std::string())
      .Field("sent", state.sent)
      .Field("total", state.total);
  if (const std::optional<Verdict> failure = have_state ? GatewayFailure(state) : std::nullopt) {
    json.Key("failure");
    WriteVerdict(json, *failure);
  }
  for (const auto& [key, value] : texts) json.Field(key, value);
  for (const auto& [key, value] : numbers) json.Field(key, value);
  AccountInfo info;
  if (ParseAccountTail(reply, &info)) WriteAccount(json, info, language);
  json.EndObject();
  return {200, json.text()};
}

std::string_view PictureCode(PictureProblem problem) {
  switch (problem) {
    case PictureProblem::kNone:
      return "";
    case PictureProblem::kUnreadable:
      return "unreadable";
    case PictureProblem::kNotJpeg:
      return "not-jpeg";
    case PictureProblem::kTooLarge:
      return "too-large";
  }
  return "";
}

// The pictures' verdict by code, each by its file name only (never a path), when one is wrong;
// none when they may go.
std::optional<ApiReply> PicturesRefused(const std::vector<std::string>& paths) {
  bool wrong = paths.size() > kMaxPictures;
  std::vector<PictureProblem> problems;
  for (const std::string& path : paths) {
    problems.push_back(JudgePictureFile(path));
    wrong = wrong || problems.back() != PictureProblem::kNone;
  }
  if (!wrong) return std::nullopt;
  JsonWriter json;
  json.BeginObject()
      .Field("ok", false)
      .Field("error", "pictures")
      .Field("too_many", paths.size() > kMaxPictures)
      .Key("pictures")
      .BeginArray();
  for (size_t i = 0; i < paths.size(); ++i) {
    json.BeginObject()
        .Field("name", std::filesystem::path(paths[i]).filename().string())
        .Field("problem", PictureCode(problems[i]))
        .EndObject();
  }
  json.EndArray().EndObject();
  return ApiReply{422, json.text()};
}

}  // namespace

std::string UiApi::EngineHome() {
  const auto reply = link_.Ask("STATE", "", kCommandWait);
  EngineState state;
  return reply && ParseEngineState(*reply, &state) ? state.home : std::string();
}

ApiReply UiApi::State(Language language) {
  const std::optional<std::string> reply = link_.Ask("STATE", "", kCommandWait);
  EngineState s;
  if (!reply || !ParseEngineState(*reply, &s)) return NoEngine();
  JsonWriter json;
  json.BeginObject()
      .Field("ok", true)
      .Field("version", s.version)
      .Field("logged_in", s.logged_in)
      .Field("login_id", s.login_id)
      .Field("journal_notice", s.journal_notice);
  WriteVerdicts(json, "notices", JournalNotices(s.journal_notice));
  json.Key("job")
      .BeginObject()
      .Field("number", s.job)
      .Field("command", s.command)
      .Field("kind", s.kind)
      .Field("state", s.outcome)
      .Field("total", s.total)
      .Field("sent", s.sent)
      .Field("acknowledged", s.acknowledged)
      .EndObject();
  std::optional<AccountInfo> account;
  {
    std::lock_guard lock(account_mutex_);
    if (!s.logged_in) account_.reset();
    account = account_;
  }
  if (account) WriteAccount(json, *account, language);
  json.EndObject();
  return {200, json.text()};
}

void UiApi::KeepAccount(const std::string& reply) {
  AccountInfo info;
  if (!ParseAccountTail(reply, &info) || info.name.empty()) return;
  std::lock_guard lock(account_mutex_);
  account_ = info;
}

ApiReply UiApi::SavedId() {
  const auto reply = link_.Ask("LOGIN", protocol::LoginRequest::kSavedIdBody, kCommandWait);
  if (!reply) return NoEngine();
  const std::vector<std::string> fields = SplitOn(*reply, kFieldSep);
  JsonWriter json;
  json.BeginObject()
      .Field("ok", true)
      .Field("id", fields.size() >= 2 ? ScreenText(fields[1]) : std::string())
      .EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Login(const ApiFields& fields, Language language) {
  const std::string id = Field(fields, "id");
  const std::string password = Field(fields, "password");
  JsonWriter json;
  json.BeginObject();
  if (id.empty() || password.empty()) {
    json.Field("ok", false).Field("error", Text(language, Msg::kLoginNeedsBoth)).EndObject();
    return {400, json.text()};
  }
  const std::string body =
      protocol::LoginRequest{id, password, Field(fields, "save") == "1"}.Build();
  if (protocol::LoginRequest::AsksSavedId(Utf8ToAnsi(body))) {
    json.Field("ok", false).Field("error", Text(language, Msg::kLoginTooShort)).EndObject();
    return {400, json.text()};
  }
  const auto reply = link_.Ask("LOGIN", body, kCommandWait);
  if (!reply) return NoEngine();
  // Accepted: "2", "1", six account fields, the engine directory, "".
  const std::vector<std::string> f = SplitOn(*reply, kFieldSep);
  AccountInfo info;
  if (f.size() >= 2 && f[0] == "2" && f[1] == "1" && AccountFromFields(f, 2, &info)) {
    {
      std::lock_guard lock(account_mutex_);
      account_ = info;
    }
    json.Field("ok", true);
    WriteAccount(json, info, language);
    json.EndObject();
    return {200, json.text()};
  }
  json.Field("ok", false).Field("error", Text(language, Msg::kLoginRefused)).EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Logout() {
  if (!link_.Ask("ENDQX", "0", kCommandWait)) return NoEngine();
  {
    std::lock_guard lock(account_mutex_);
    account_.reset();
  }
  return {200, R"({"ok":true})"};
}

ApiReply UiApi::Quit() {
  // The engine ends without a reply: the request is written and the wait cut short.
  link_.Ask("ENDQX", "1", 2s);
  return {200, R"({"ok":true})"};
}

namespace {

MessageKind KindOfMode(int mode) {
  return mode == 1 ? MessageKind::kSms : mode == 2 ? MessageKind::kLms : MessageKind::kMms;
}

}  // namespace

std::optional<Verdict> UiApi::OverBalance(MessageKind kind, int64_t messages) {
  std::lock_guard lock(account_mutex_);
  if (!account_) return std::nullopt;
  const CostEstimate cost = EstimateCost(*account_, kind, messages);
  if (!cost.known || !cost.over_balance) return std::nullopt;
  return CostVerdict(cost, messages);
}

ApiReply UiApi::Check(const ApiFields& fields, Language language) {
  int64_t count = std::atoll(Field(fields, "count").c_str());
  const int mode = std::clamp(std::atoi(Field(fields, "mode").c_str()), 1, 3);
  const bool workbook = Field(fields, "workbook") == "1";
  const std::string code = workbook ? "ESEND" : "DSEND";
  const ReservationResult reserve = ParseReservation(Field(fields, "reserve"), LocalMinuteNow());
  // The opt-out list's share of a direct or group send, before the confirmation.
  int64_t opted_out = 0;
  if (!workbook) {
    const SendPlan plan = PlanSend(OptionsOf(fields, language), LocalMinuteNow());
    const auto reply = link_.Ask("OPTCK", OptOutCheckBody(plan.checked), kCommandWait);
    if (!reply) return NoEngine();
    if (const auto answer = protocol::OptOutCheckReply::Parse(*reply)) {
      opted_out = answer->opted_out;
      count = std::max<int64_t>(0, count - opted_out);
    }
  } else {
    opted_out = std::atoll(Field(fields, "opted_out").c_str());
  }
  JsonWriter json;
  json.BeginObject();
  // Over the balance: refused before the service is asked, with both figures.
  if (auto over = OverBalance(KindOfMode(mode), count)) {
    json.Field("ok", false).Field("opted_out", opted_out).Key("said");
    WriteVerdict(json, *over);
    json.EndObject();
    return {200, json.text()};
  }
  const std::optional<SendCheckAnswer> answer =
      AskSendCheck(link_, code, count, mode, reserve.ok() ? reserve.engine_text : std::string());
  if (!answer) return NoEngine();
  json.Field("ok", answer->passed).Field("opted_out", opted_out).Key("said");
  WriteVerdict(json, SendCheckVerdict(*answer));
  if (opted_out > 0) {
    json.Key("opted_out_said");
    WriteVerdict(json, Verdict{Msg::kOptedOutLeftOut, {GroupThousands(std::to_string(opted_out))}});
  }
  if (answer->have_account) {
    const CostEstimate cost = EstimateCost(answer->account, KindOfMode(mode), count);
    if (cost.known) {
      json.Key("cost");
      WriteVerdict(json, CostVerdict(cost, count));
    }
  }
  json.EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Compose(const ApiFields& fields, Language language) {
  const SendOptions options = OptionsOf(fields, language);
  const std::optional<RulesData> rules = FetchRules(link_);
  // The pictures are judged when chosen; here only their number counts, for the kind.
  const SendPlan plan = PlanSend(options, LocalMinuteNow(), rules ? &*rules : nullptr);
  const size_t pictures =
      static_cast<size_t>(std::clamp(std::atoi(Field(fields, "pictures").c_str()), 0, 3));
  const TextCheck text = CheckText(plan.checked.text, pictures, options.limits);
  JsonWriter json;
  json.BeginObject()
      .Field("ok", plan.ok())
      .Field("bytes", static_cast<int64_t>(text.bytes))
      .Field("kind", KindName(text.kind))
      .Field("limit", static_cast<int64_t>(text.limit))
      .Field("sms_limit", static_cast<int64_t>(options.limits.sms_bytes))
      .Strings("recipients", plan.checked.to)
      .Key("counts")
      .BeginObject()
      .Field("typed", static_cast<int64_t>(plan.counts.typed))
      .Field("valid", static_cast<int64_t>(plan.counts.valid))
      .Field("duplicates", static_cast<int64_t>(plan.counts.duplicates))
      .Field("invalid", static_cast<int64_t>(plan.counts.invalid))
      .EndObject()
      .Field("reserve", plan.checked.reserve);
  WriteVerdicts(json, "problems", plan.problems);
  WriteVerdicts(json, "notes", plan.notes);
  json.EndObject();
  return {200, json.text()};
}

ApiReply UiApi::AdvertisingText(const ApiFields& fields) {
  const std::optional<RulesData> rules = FetchRules(link_);
  if (!rules) return NoEngine();
  const std::string text = WithAdvertising(Field(fields, "text"), *rules);
  const TextLimits limits;
  const TextCheck before = CheckText(Field(fields, "text"), 0, limits);
  const TextCheck after = CheckText(text, 0, limits);
  std::vector<Verdict> notes;
  if (before.kind == MessageKind::kSms && after.kind == MessageKind::kLms) {
    notes.push_back({Msg::kAdMakesLms, {std::to_string(after.bytes)}, kFieldText});
  }
  if (rules->business_name.empty()) notes.push_back({Msg::kAdNoBusinessName, {}, "business_name"});
  JsonWriter json;
  json.BeginObject().Field("ok", true).Field("text", text);
  WriteVerdicts(json, "notes", notes);
  json.EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Send(const ApiFields& fields, const std::vector<std::string>& pictures,
                     Language language) {
  if (const auto reasons = GroupNameRefusals(fields); !reasons.empty()) return Refused(reasons);
  SendOptions options = OptionsOf(fields, language);
  options.images = pictures;
  if (auto refused = PicturesRefused(pictures)) return *refused;
  if (!pictures.empty() && (options.home = EngineHome()).empty()) return NoEngine();
  const std::optional<RulesData> rules = FetchRules(link_);
  const SendPlan plan = PlanSend(options, LocalMinuteNow(), rules ? &*rules : nullptr);
  if (!plan.ok()) return Refused(plan.problems);
  const SendOptions& checked = plan.checked;
  const int mode = SendMode(checked);
  std::vector<std::string> staged;
  if (auto staging = StagePictures(checked.images, checked.home, &staged)) {
    return Refused({*staging});
  }
  int64_t count = static_cast<int64_t>(checked.to.size());
  const bool group_send = !checked.groups.empty();
  if (group_send) {
    const auto groups = link_.Ask("ADDRB", protocol::AddressRequest{}.Build(), kCommandWait);
    if (!groups) return NoEngine();
    int64_t members = 0;
    std::vector<Verdict> problems;
    if (!CheckGroups(checked.groups, ParseGroupList(*groups), &members, &problems)) {
      return Refused(problems);
    }
    count += members;
  }
  if (auto over = OverBalance(KindOfMode(mode), count)) return Refused({*over}, 200);
  const std::optional<SendCheckAnswer> check =
      AskSendCheck(link_, "DSEND", count, mode, checked.reserve);
  if (!check) return NoEngine();
  if (!check->passed) return Refused({SendCheckVerdict(*check)}, 200);
  const auto reply =
      link_.Ask(group_send ? "ASEND" : "DSEND", SendBody(checked, mode, staged), kSendWait);
  if (!reply) return NoEngine();
  KeepAccount(*reply);
  return SendOutcome(link_, *reply, language, {{"reserve", checked.reserve}},
                     {{"group_send", group_send ? 1 : 0}});
}

namespace {

ExcelOptions ExcelOptionsOf(const ApiFields& fields, Language language) {
  ExcelOptions o;
  o.sheet = Field(fields, "sheet");
  o.phone_column = Field(fields, "phone");
  o.callback_column = Field(fields, "callback_column");
  o.callback = o.callback_column.empty() ? Field(fields, "callback") : std::string();
  o.text = Field(fields, "text");
  o.title = Field(fields, "title");
  o.reserve = Field(fields, "reserve");
  o.dedupe = Field(fields, "dedupe") == "1";
  o.language = language;
  return o;
}

// The answer of an EXCEL query after its prefix; false (with the engine's reason) when it is
// none.
bool ExcelAnswer(const std::string& reply, protocol::ExcelQuery query, std::string* answer) {
  *answer = AfterPrefix(reply, ExcelPrefix(query));
  return reply.starts_with(ExcelPrefix(query)) && !IsException(*answer);
}

}  // namespace

ApiReply UiApi::WorkbookSheets(const std::string& path) {
  const auto reply = link_.Ask("EXCEL", protocol::ListingRequest{path}.Build(), kSendWait);
  if (!reply) return NoEngine();
  std::string listing;
  if (!ExcelAnswer(*reply, protocol::ExcelQuery::kListing, &listing)) {
    return Refused({EngineRefusalVerdict(listing)});
  }
  std::vector<SheetListing> sheets = ParseListing(listing);
  {
    std::lock_guard lock(sheets_mutex_);
    sheets_ = sheets;
  }
  JsonWriter json;
  json.BeginObject().Field("ok", true).Key("sheets").BeginArray();
  for (const SheetListing& sheet : sheets) {
    json.BeginObject()
        .Field("name", sheet.name)
        .Field("rows", sheet.rows)
        .Strings("columns", sheet.columns)
        .Key("first_rows")
        .BeginArray();
    for (const std::vector<std::string>& row : sheet.first_rows) json.StringArray(row);
    json.EndArray().EndObject();
  }
  json.EndArray().EndObject();
  return {200, json.text()};
}

ApiReply UiApi::WorkbookCount(const ApiFields& fields) {
  const std::string body =
      protocol::CountRequest{SheetTable(Field(fields, "sheet")), Bracketed(Field(fields, "column"))}
          .Build();
  const auto reply = link_.Ask("EXCEL", body, kSendWait);
  if (!reply) return NoEngine();
  std::string count;
  if (!ExcelAnswer(*reply, protocol::ExcelQuery::kCount, &count)) {
    return Refused({EngineRefusalVerdict(count)});
  }
  JsonWriter json;
  json.BeginObject().Field("ok", true).Field("count", ScreenText(count)).EndObject();
  return {200, json.text()};
}

ApiReply UiApi::WorkbookPreview(const ApiFields& fields, Language language) {
  const ExcelOptions o = ExcelOptionsOf(fields, language);
  if (const auto missing = CheckRecipientOptions(o)) return Refused({*missing}, 400);
  // The template against the sheet's columns and first rows: unknown columns refuse the preview,
  // values cut to their marker's width are warned of.
  bool template_ok = true;
  std::vector<Verdict> problems;
  {
    std::lock_guard lock(sheets_mutex_);
    Verdict unknown;
    if (const SheetListing* sheet = FindSheet(sheets_, o.sheet, &unknown)) {
      template_ok = CheckAgainstSheet(o, *sheet, &problems);
    }
  }
  if (!template_ok) return Refused(problems);
  const auto reply = link_.Ask("EXCEL", ExcelPreviewBody(o), kSendWait);
  if (!reply) return NoEngine();
  std::string lines;
  if (!ExcelAnswer(*reply, protocol::ExcelQuery::kPreview, &lines)) {
    return Refused({EngineRefusalVerdict(lines)});
  }
  JsonWriter json;
  json.BeginObject().Field("ok", true);
  WriteVerdicts(json, "problems", problems);
  json.Field("max_bytes", static_cast<int64_t>(ComposedMaxBytes(o.text))).Key("rows").BeginArray();
  for (const std::string& line : SplitOn(lines, kFieldSep)) {
    if (line.empty()) continue;
    std::vector<std::string> cells = SplitOn(line, ",");
    cells.resize(3);
    json.BeginObject()
        .Field("phone", ScreenText(cells[0]))
        .Field("callback", ScreenText(cells[1]))
        .Field("text", ScreenText(cells[2]))
        .Field("bytes", static_cast<int64_t>(cells[2].size()))
        .EndObject();
  }
  json.EndArray().EndObject();
  return {200, json.text()};
}

namespace {

// The width of the marker that asks a column's longest value: wider than any cell.
constexpr int kWideMarker = 65535;
// The callback of that query: any valid number (nothing is sent, and the column's values are the
// same whatever it is).
constexpr std::string_view kAnyCallback = "021234567";

// The ESEND body of a workbook send as the page makes it: each recipient number once ("<ONCE>",
// the first row keeping it) when the user asked for it.
std::string WorkbookBody(const ExcelOptions& o, int mode, int64_t count,
                         const std::vector<std::string>& pictures) {
  const auto [column_mode, second] = SecondNumber(o);
  protocol::ExcelSendRequest request;
  request.mode = mode;
  request.count = static_cast<int>(count);
  request.title = o.title;
  request.reserve = o.reserve;
  request.sheet = SheetTable(o.sheet);
  request.once = o.dedupe;
  request.phone_column = Replaced(o.phone_column, ",", "&comma;");
  request.second = second;
  request.message = ExcelMessage(o.text);
  request.callback_mode = column_mode;
  request.pictures = pictures;
  return request.Build();
}

std::string_view BlockCode(WorkbookBlock block) {
  switch (block) {
    case WorkbookBlock::kCallback:
      return "callback";
    case WorkbookBlock::kNoMessages:
      return "no-messages";
    case WorkbookBlock::kInvalidRows:
      return "invalid-rows";
    case WorkbookBlock::kCutValues:
      return "cut-values";
    case WorkbookBlock::kTooLong:
      return "too-long";
  }
  return "";
}

}  // namespace

struct UiApi::WorkbookRun {
  ExcelOptions options;
  protocol::ExcelCheckReply check;
  WorkbookSendPlan plan;
};

std::optional<ApiReply> UiApi::RunWorkbookCheck(const ApiFields& fields, size_t pictures,
                                                Language language, WorkbookRun* run) {
  ExcelOptions& o = run->options;
  o = ExcelOptionsOf(fields, language);
  if (const auto missing = CheckRecipientOptions(o)) return Refused({*missing}, 400);
  {
    // An unknown column is named here, in the user's words, rather than by the engine's query.
    std::lock_guard lock(sheets_mutex_);
    Verdict unknown;
    std::vector<Verdict> problems;
    const SheetListing* sheet = FindSheet(sheets_, o.sheet, &unknown);
    if (sheet != nullptr && !CheckAgainstSheet(o, *sheet, &problems)) return Refused(problems);
  }
  const ReservationResult reserve = ParseReservation(o.reserve, LocalMinuteNow());
  if (!reserve.ok()) return Refused({*reserve.problem});
  o.reserve = reserve.engine_text;
  // The pictures' names do not matter to the check, only that there are some.
  const int mode = pictures > 0 ? 3 : 1;
  const auto reply = link_.Ask(
      "EXCHK", WorkbookBody(o, mode, 0, std::vector<std::string>(pictures, "picture.jpg")),
      kSendWait);
  if (!reply) return NoEngine();
  const std::optional<protocol::ExcelCheckReply> check = protocol::ExcelCheckReply::Parse(*reply);
  if (!check) {
    // The workbook or its rows cannot be read: the engine's reason, in words.
    return Refused({EngineRefusalVerdict(*reply)});
  }
  run->check = *check;
  run->plan = PlanWorkbookSend(*check, pictures > 0, Field(fields, "skip_invalid") == "1",
                               Field(fields, "allow_cut") == "1");
  return std::nullopt;
}

ApiReply UiApi::WorkbookCheck(const ApiFields& fields, Language language) {
  const size_t pictures =
      static_cast<size_t>(std::clamp(std::atoi(Field(fields, "pictures").c_str()), 0, 9));
  WorkbookRun run;
  if (auto refused = RunWorkbookCheck(fields, pictures, language, &run)) return *refused;
  const protocol::ExcelCheckReply& c = run.check;
  JsonWriter json;
  json.BeginObject()
      .Field("ok", run.plan.ok())
      .Field("rows", c.rows)
      .Field("messages", run.plan.messages)
      .Field("mode", static_cast<int64_t>(run.plan.mode))
      .Field("kind", run.plan.mode == 3 ? std::string("MMS") : c.kind)
      .Field("largest", c.largest)
      .Field("sms_rows", c.sms_rows)
      .Field("lms_rows", c.lms_rows)
      .Field("over_rows", c.over_rows)
      .Field("invalid", c.invalid)
      .Field("duplicates", c.duplicates)
      .Field("opted_out", c.opted_out)
      .Field("cut_rows", c.cut_rows)
      .Field("cut_bytes", c.cut_bytes)
      .Field("unencodable_rows", c.unencodable_rows)
      .Field("callback", AnsiToUtf8(c.callback))
      .Field("callback_problem", c.callback_problem)
      .Field("reserve", run.options.reserve);
  json.Key("blocks").BeginArray();
  for (const WorkbookBlock block : run.plan.blocks) json.String(BlockCode(block));
  json.EndArray().Key("faults").BeginArray();
  for (const protocol::CheckFault& f : c.faults) {
    json.BeginObject()
        .Field("row", f.row)
        .Field("what", f.what)
        .Field("problem", f.problem)
        .Field("cell", AnsiToUtf8(f.cell))
        .EndObject();
  }
  json.EndArray().Key("cuts").BeginArray();
  for (const protocol::CheckCut& cut : c.cuts) {
    const size_t kept = static_cast<size_t>(std::max<int64_t>(cut.kept, 0));
    json.BeginObject()
        .Field("row", cut.row)
        .Field("column", AnsiToUtf8(cut.column))
        .Field("value", AnsiToUtf8(cut.value))
        .Field("value_bytes", static_cast<int64_t>(cut.value.size()))
        .Field("kept", AnsiToUtf8(std::string_view(cut.value).substr(0, kept)))
        .Field("kept_bytes", cut.kept)
        .EndObject();
  }
  json.EndArray().Key("unencodable").BeginArray();
  for (const protocol::CheckUnencodable& u : c.unencodable) {
    json.BeginObject().Field("row", u.row).Field("column", AnsiToUtf8(u.column)).EndObject();
  }
  json.EndArray().EndObject();
  return {200, json.text()};
}

ApiReply UiApi::ColumnWidth(const ApiFields& fields, Language language) {
  const std::string column = Field(fields, "column");
  if (column.empty()) return RefusedCode("column", 400);
  ApiFields asked = {{"sheet", Field(fields, "sheet")},
                     {"phone", Field(fields, "phone")},
                     {"callback", std::string(kAnyCallback)},
                     {"text", "[" + column + ":" + std::to_string(kWideMarker) + "]"}};
  WorkbookRun run;
  if (auto refused = RunWorkbookCheck(asked, 0, language, &run)) return *refused;
  // The template is the marker alone, wider than any value: the largest message is the longest
  // value, in bytes, over every row the send would take.
  JsonWriter json;
  json.BeginObject()
      .Field("ok", run.check.messages > 0)
      .Field("column", column)
      .Field("bytes", run.check.largest)
      .Field("rows", run.check.messages)
      .EndObject();
  return {200, json.text()};
}

ApiReply UiApi::JudgePictures(const std::vector<PictureFile>& files) {
  JsonWriter json;
  json.BeginObject()
      .Field("ok", true)
      .Field("max_bytes", static_cast<int64_t>(kMaxPictureBytes))
      .Field("max_pictures", static_cast<int64_t>(kMaxPictures))
      .Field("too_many", files.size() > kMaxPictures)
      .Key("pictures")
      .BeginArray();
  std::vector<Verdict> problems;
  if (auto too_many = PictureCountVerdict(files.size())) problems.push_back(*too_many);
  for (const PictureFile& file : files) {
    const PictureProblem problem = JudgePicture(file.content, file.content.size());
    if (auto v = PictureVerdict(problem, file.name, file.content.size())) problems.push_back(*v);
    json.BeginObject()
        .Field("name", file.name)
        .Field("bytes", static_cast<int64_t>(file.content.size()))
        .Field("problem", PictureCode(problem))
        .EndObject();
  }
  json.EndArray().Field("all_good", problems.empty());
  WriteVerdicts(json, "problems", problems);
  json.EndObject();
  return {200, json.text()};
}

ApiReply UiApi::WorkbookSend(const ApiFields& fields, const std::vector<std::string>& pictures,
                             Language language) {
  if (auto refused = PicturesRefused(pictures)) return *refused;
  WorkbookRun run;
  if (auto refused = RunWorkbookCheck(fields, pictures.size(), language, &run)) return *refused;
  // The page cannot be bypassed: rows left out, values cut and the rest need the user's yes.
  if (!run.plan.ok()) {
    JsonWriter json;
    json.BeginObject().Field("ok", false).Field("error", "blocked").Key("blocks").BeginArray();
    for (const WorkbookBlock block : run.plan.blocks) json.String(BlockCode(block));
    json.EndArray().EndObject();
    return {422, json.text()};
  }
  const ExcelOptions& o = run.options;
  std::vector<std::string> staged;
  if (!pictures.empty()) {
    const std::string home = EngineHome();
    if (home.empty()) return NoEngine();
    if (StagePictures(pictures, home, &staged)) return RefusedCode("pictures");
  }
  const int64_t count = run.plan.messages;
  const std::optional<SendCheckAnswer> check =
      AskSendCheck(link_, "ESEND", count, run.plan.mode, o.reserve);
  if (!check) return NoEngine();
  if (!check->passed) return Refused({SendCheckVerdict(*check)}, 200);
  const auto reply = link_.Ask("ESEND", WorkbookBody(o, run.plan.mode, count, staged), kSendWait);
  if (!reply) return NoEngine();
  // Said by the page from the counts: how many went, for when, and the rows left out.
  KeepAccount(*reply);
  return SendOutcome(link_, *reply, language, {{"reserve", o.reserve}},
                     {{"left_out", run.check.invalid}, {"duplicates", run.check.duplicates}});
}

namespace {

constexpr int kListPage = 10;  // saved messages and catalogue texts a page

// The web service's rows (the "<BR>" and "<COL>" of its lists) as JSON arrays.
void WriteRows(JsonWriter& json, std::string_view key, std::string_view rows) {
  json.Key(key).BeginArray();
  for (const std::vector<std::string>& row : WebRows(rows)) json.StringArray(row);
  json.EndArray();
}

MessagesOptions MessagesOf(const ApiFields& fields, std::string action) {
  MessagesOptions o;
  o.action = std::move(action);
  if (!Field(fields, "type").empty()) o.type = Field(fields, "type");
  o.group = Field(fields, "group");
  o.page = std::max(1, std::atoi(Field(fields, "page").c_str()));
  o.size = kListPage;
  o.text = Field(fields, "text");
  o.subject = Field(fields, "subject");
  return o;
}

// The MYMSG or EMOTN request of o's action, asked; nullopt when the engine does not answer.
std::optional<std::string> AskMessages(UiLink& link, const MessagesOptions& o) {
  const auto [code, body] = MessagesRequest(o);
  return link.Ask(code, body, kCommandWait);
}

}  // namespace

ApiReply UiApi::SavedMessages(const ApiFields& fields) {
  const MessagesOptions o = MessagesOf(fields, "saved");
  const auto reply = AskMessages(link_, o);
  if (!reply) return NoEngine();
  JsonWriter json;
  json.BeginObject().Field("ok", !reply->empty());
  if (o.type == "SMS") {
    // "CNT", the SMS count, the LMS count, the page of SMS messages.
    std::vector<std::string> parts = SplitOn(*reply, kFieldSep);
    parts.resize(3);
    json.Field("sms_count", ScreenText(parts[1])).Field("lms_count", ScreenText(parts[2]));
    WriteRows(json, "rows", AfterField(*reply, 3));
  } else {
    WriteRows(json, "rows", AfterField(*reply, 1));
  }
  json.EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Catalogue(const ApiFields& fields) {
  const MessagesOptions o = MessagesOf(fields, "catalogue");
  const auto reply = AskMessages(link_, o);
  if (!reply) return NoEngine();
  JsonWriter json;
  json.BeginObject().Field("ok", !reply->empty());
  if (o.group.empty() && reply->starts_with(protocol::kFirstPageTag)) {
    // "<FIRST>" the groups "<QX>" the count of the first group "<QX>" its texts.
    std::vector<std::string> parts =
        SplitOn(std::string_view(*reply).substr(protocol::kFirstPageTag.size()), kFieldSep);
    parts.resize(2);
    WriteRows(json, "groups", parts[0]);
    json.Field("count", ScreenText(parts[1]));
    WriteRows(json, "rows", AfterField(*reply, 2));
  } else {
    json.Field("count", ScreenText(reply->substr(0, reply->find(kFieldSep))));
    WriteRows(json, "rows", AfterField(*reply, 1));
  }
  json.EndObject();
  return {200, json.text()};
}

ApiReply UiApi::SaveMessage(const ApiFields& fields) {
  const MessagesOptions o = MessagesOf(fields, "save");
  // The engine puts a saved text into the web form as it is: "&" or "=" would cut it.
  if (o.text.empty() || o.text.find_first_of("&=") != std::string::npos ||
      o.subject.find_first_of("&=") != std::string::npos) {
    return Refused({{Msg::kSaveRefused, {}, kFieldText}}, 400);
  }
  const auto reply = AskMessages(link_, o);
  if (!reply) return NoEngine();
  const std::string answer = ScreenText(AfterField(*reply, 1));
  JsonWriter json;
  json.BeginObject().Field("ok", !answer.empty()).Field("answer", answer).EndObject();
  return {200, json.text()};
}

ApiReply UiApi::RecentNumbers() {
  protocol::AddressRequest request;
  request.kind = protocol::AddressRequest::kRecent;
  const auto reply = link_.Ask("ADDRB", request.Build(), kCommandWait);
  if (!reply) return NoEngine();
  // "4<QX>" and each number followed by ",".
  std::vector<std::string> numbers;
  for (const std::string& n : SplitOn(AfterField(*reply, 1), ",")) {
    if (!n.empty()) numbers.push_back(ScreenText(n));
  }
  JsonWriter json;
  json.BeginObject().Field("ok", true).Strings("numbers", numbers).EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Groups() {
  const auto reply = link_.Ask("ADDRB", protocol::AddressRequest{}.Build(), kCommandWait);
  if (!reply) return NoEngine();
  JsonWriter json;
  json.BeginObject().Field("ok", true).Key("groups").BeginArray();
  for (const EngineGroup& g : ParseGroupList(*reply)) {
    json.BeginObject().Field("name", g.name).Field("members", g.members).EndObject();
  }
  json.EndArray().EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Results(const ApiFields& fields, Language language) {
  ResultsOptions o;
  o.from = Field(fields, "from");
  o.to = Field(fields, "to");
  o.kind = Field(fields, "kind");
  o.page = std::max(1, std::atoi(Field(fields, "page").c_str()));
  o.language = language;
  const auto reply = link_.Ask("SENDL", ResultsBody(o), kCommandWait);
  if (!reply) return NoEngine();
  const std::optional<protocol::SendResults> results = protocol::ParseSendResults(*reply);
  JsonWriter json;
  json.BeginObject().Field("ok", results.has_value() && !results->totals[3].empty());
  if (results) {
    std::vector<std::string> totals;
    for (const std::string& t : results->totals) totals.push_back(ScreenText(t));
    json.Strings("totals", totals).Key("rows").BeginArray();
    for (const protocol::SentJob& j : results->jobs) {
      json.StringArray({ScreenText(j.number), ScreenText(j.time), ScreenText(j.type),
                        ScreenText(j.callback), ScreenText(j.title), ScreenText(j.result),
                        ScreenText(j.count)});
    }
    json.EndArray();
  }
  json.EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Stats(const ApiFields& fields, Language language) {
  StatsOptions o{Field(fields, "from"), Field(fields, "to"), language};
  std::string body;
  JsonWriter json;
  json.BeginObject();
  if (!StatsBody(o, &body)) {
    json.Field("ok", false).Field("error", "YYYY-MM").EndObject();
    return {400, json.text()};
  }
  const auto reply = link_.Ask("CASHL", body, kCommandWait);
  if (!reply) return NoEngine();
  // The web service's rows as they come: day, SMS, LMS, MMS, all; the last row the totals.
  json.Field("ok", true).Key("rows").BeginArray();
  for (const std::vector<std::string>& row : WebRows(*reply)) json.StringArray(row);
  json.EndArray().EndObject();
  return {200, json.text()};
}

ApiReply UiApi::Cancel() {
  const auto reply = link_.Ask("CANCL", "", kCommandWait);
  if (!reply) return NoEngine();
  JsonWriter json;
  json.BeginObject().Field("ok", true).Field("asked", *reply == "1").EndObject();
  return {200, json.text()};
}

}  // namespace parley
