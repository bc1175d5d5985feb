#include "qx/send_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <ostream>
#include <system_error>

#include "client/group_check.h"
#include "client/message_text.h"
#include "client/picture_check.h"
#include "client/reservation.h"
#include "client/rules_lists.h"
#include "client/send_check.h"
#include "client/send_input.h"
#include "client/send_rules.h"
#include "link/message.h"
#include "protocol/query_requests.h"
#include "protocol/send_requests.h"
#include "qx/check_command.h"
#include "qx/exit_codes.h"
#include "qx/interrupt.h"
#include "qx/link_session.h"
#include "qx/plan_words.h"
#include "qx/prefixed_lines.h"
#include "qx/reply_text.h"
#include "qx/rules_data.h"
#include "qx/saved_message.h"
#include "qx/send_progress.h"
#include "qx/status_command.h"
#include "qx/terminal.h"
#include "send/direct_send.h"
#include "send/gateway_records.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {

int StopBeforeSending(bool dry_run, bool confirm, Language language, std::string_view who,
                      std::ostream& out, std::ostream& err) {
  if (dry_run) {
    out << Text(language, Msg::kDryRun) << "\n";
    return kExitOk;
  }
  if (confirm && !AnswerIsYes(Text(language, Msg::kConfirmSend), std::cin, err)) {
    err << who << ": " << Text(language, Msg::kCancelled) << "\n";
    return kExitRefused;
  }
  return -1;
}

int RunSendCommand(const SendOptions& request, const LinkTarget& target, std::ostream& out,
                   std::ostream& err, int64_t now_unix) {
  SendOptions given = request;
  const Language lang = given.language;
  if (given.saved > 0) {
    SavedMessage message;
    if (!FindSavedMessage(target, given.saved, &message, lang, err)) return kExitRefused;
    given.text = message.text;
    if (given.title.empty()) given.title = message.subject;
  }
  if (given.to.empty() && given.to_file.empty() && given.groups.empty()) {
    err << "qx send: " << Text(lang, Msg::kNameRecipients) << "\n";
    return kExitUsage;
  }
  if (given.text.empty() && given.text_file.empty()) {
    err << "qx send: " << Text(lang, Msg::kTextEmpty) << "\n";
    return kExitUsage;
  }
  const bool advert = given.advert || given.insert_ad;
  if (advert) {
    given.night_consent = ConfirmNightConsent(given.night_consent, given.confirm, lang, err);
  }
  // What can be told without the engine is told first, even when no engine answers.
  SendOptions local = given;
  local.advert = local.insert_ad = false;
  local.night_consent = local.night_consent && !advert;
  if (const SendPlan first = PlanSend(local, LocalMinuteNow(), nullptr, now_unix); !first.ok()) {
    PrintPlan(first, local, lang, out, PrefixedLines("qx send: ", err).stream());
    return kExitUsage;
  }

  LinkSession session(target, err);
  if (!session.Open()) return kExitNoEngine;
  std::optional<RulesData> rules;
  if (!AskRulesData(session, &rules)) return kExitNoEngine;
  if (!rules && advert) err << "qx send: " << Text(lang, Msg::kRulesUnavailable) << "\n";
  const SendPlan plan = PlanSend(given, LocalMinuteNow(), rules ? &*rules : nullptr, now_unix);
  if (!PrintPlan(plan, given, lang, out, PrefixedLines("qx send: ", err).stream())) {
    return kExitUsage;
  }
  for (const Verdict& note : plan.notes) out << VerdictLine(lang, note) << "\n";
  const SendOptions& options = plan.checked;
  const int mode = SendMode(options);
  const bool group_send = !options.groups.empty();
  std::vector<std::string> pictures;
  if (const auto staging = !options.check_only && !options.dry_run
                               ? StagePictures(options.images, options.home, &pictures)
                               : std::nullopt) {
    err << "qx: " << Word(lang, *staging) << "\n";
    return kExitUsage;
  }

  std::string reply;
  if (!options.login.empty()) {
    const std::string login =
        protocol::LoginRequest{options.login, options.password, false}.Build();
    if (!session.Ask("LOGIN", login, &reply)) return kExitNoEngine;
    if (!reply.starts_with("2<QX>1")) {
      err << "qx send: " << Text(lang, Msg::kLoginRefused) << "\n";
      return kExitRefused;
    }
  }

  const std::string body = SendBody(options, mode, pictures);
  // The groups must be in the engine's book and have members; the send check then tells whether
  // the account may send them all (and that it is logged in), though ASEND itself needs none.
  int64_t count = static_cast<int64_t>(options.to.size());
  if (group_send) {
    if (!session.Ask("ADDRB", protocol::AddressRequest{}.Build(), &reply)) return kExitNoEngine;
    int64_t members = 0;
    std::vector<Verdict> problems;
    std::vector<EngineGroup> chosen;
    const bool groups_ok =
        CheckGroups(options.groups, ParseGroupList(reply), &members, &problems, &chosen);
    for (const EngineGroup& group : chosen) {
      out << Text(lang, Msg::kGroupMembers, {group.name, std::to_string(group.members)}) << "\n";
    }
    for (const Verdict& problem : problems) err << "qx send: " << Word(lang, problem) << "\n";
    if (!groups_ok) return kExitUsage;
    count += members;
  }
  // The opt-out list leaves some recipients out (all of them: nothing to send).
  int64_t opted_out = 0;
  if (rules) {
    if (!session.Ask("OPTCK", OptOutCheckBody(options), &reply)) return kExitNoEngine;
    if (const auto check = protocol::OptOutCheckReply::Parse(reply)) {
      const Verdict left_out = OptOutVerdict(*check);
      if (left_out.code == Msg::kAllOptedOut) {
        err << "qx send: " << Word(lang, left_out) << "\n";
        return kExitRefused;
      }
      out << Word(lang, left_out) << "\n";
      opted_out = check->opted_out;
    }
  }
  bool passed = false;
  SendCheckAnswer answer;
  if (!RunSendCheck(session, "DSEND", count, std::to_string(mode), options.reserve, lang, out,
                    &passed, &answer)) {
    return kExitNoEngine;
  }
  if (answer.have_account) {
    const int64_t messages = std::max<int64_t>(count - opted_out, 0);
    const CostEstimate cost = EstimateCost(answer.account, plan.text.kind, messages);
    if (cost.known && cost.over_balance) {
      err << "qx send: " << Word(lang, CostVerdict(cost, messages)) << "\n";
      return kExitRefused;
    }
    if (cost.known) out << Word(lang, CostVerdict(cost, messages)) << "\n";
  }
  if (!passed) {
    err << "qx send: " << Text(lang, Msg::kCheckNotPassed) << "\n";
    return kExitRefused;
  }
  if (options.check_only) return kExitOk;
  if (const int stop =
          StopBeforeSending(options.dry_run, options.confirm, lang, "qx send", out, err);
      stop >= 0) {
    return stop;
  }

  AccountInfo info;
  if (group_send) {
    const std::string label = "sending to " + std::to_string(options.groups.size()) +
                              " group(s) and " + std::to_string(options.to.size()) +
                              " number(s)...";
    if (!session.Ask("ASEND", body, &reply, label)) return kExitNoEngine;
    out << Text(lang, Msg::kGroupSendHanded) << "\n";
    if (ParseAccountTail(reply, &info)) PrintAccount(info, lang, out);
    return kExitOk;
  }

  const std::string label = "sending " + std::to_string(options.to.size()) + " message(s)...";
  return RunJobSend(session, "DSEND", body, label, options.progress, "", lang, out, err);
}

int RunJobSend(LinkSession& session, std::string_view code, std::string_view body,
               std::string_view label, std::string_view progress, std::string_view success_text,
               Language language, std::ostream& out, [[maybe_unused]] std::ostream& err) {
  SendWatch watch;
  watch.progress = ShowProgress(progress, ::isatty(1) == 1);
  watch.language = language;
  SendWait wait;
  std::string reply;
  {
    InterruptWatch interrupts(kExitCancelled);
    watch.cancel_requested = [&interrupts] { return interrupts.requested(); };
    if (!session.AskSend(code, body, &reply, label, watch, &wait)) return kExitNoEngine;
  }
  // The pipeline's text, then the six account fields. How the job ended comes from STATE.
  const std::string text = reply.substr(0, reply.find(kFieldSep));
  const bool failed = text.empty() || text == kSendFailedText ||
                      (!success_text.empty() && text.find(success_text) == std::string::npos);
  EngineState state;
  const bool have_state = (wait.cancel_sent || failed) && AskEngineState(session, &state);
  const std::string gateway_failure = have_state ? GatewayFailureText(state, language) : "";
  if (!gateway_failure.empty()) {
    out << gateway_failure << "\n";
  } else {
    out << (text.empty() ? std::string("nothing sent") : AnsiToUtf8(text)) << "\n";
  }
  AccountInfo info;
  if (ParseAccountTail(reply, &info)) PrintAccount(info, language, out);
  if (wait.cancel_sent) {
    if (have_state) {
      out << Text(language, Msg::kSendCancelled,
                  {std::to_string(state.sent), std::to_string(state.total)})
          << "\n";
    }
    return kExitCancelled;
  }
  return failed ? kExitRefused : kExitOk;
}

}  // namespace parley
