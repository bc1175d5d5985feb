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
#include <ostream>
#include <system_error>

#include "client/message_text.h"
#include "client/picture_check.h"
#include "client/reservation.h"
#include "link/message.h"
#include "protocol/query_requests.h"
#include "protocol/send_requests.h"
#include "qx/check_command.h"
#include "qx/exit_codes.h"
#include "qx/group_check.h"
#include "qx/interrupt.h"
#include "qx/link_session.h"
#include "qx/reply_text.h"
#include "qx/saved_message.h"
#include "qx/send_input.h"
#include "qx/send_progress.h"
#include "qx/status_command.h"
#include "qx/terminal.h"
#include "send/direct_send.h"
#include "send/gateway_records.h"
#include "text/cp949.h"
#include "text/mbcs.h"

namespace parley {
namespace {

std::string Join(const std::vector<std::string>& parts, char sep) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += sep;
    out += parts[i];
  }
  return out;
}

// Copies source into folder under its own name without following a link already there: the
// bytes go to a new file in folder, which is then renamed over the name. Returns an empty text,
// or the reason the copy failed (nothing is left behind then).
std::string CopyInto(const std::filesystem::path& source, const std::filesystem::path& folder) {
  std::ifstream in(source, std::ios::binary);
  if (!in) return std::strerror(errno);
  std::string temp = (folder / ".qx-stage-XXXXXX").string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) return std::strerror(errno);
  std::string reason;
  char buffer[64 * 1024];
  while (reason.empty() && in) {
    in.read(buffer, sizeof buffer);
    const char* p = buffer;
    for (std::streamsize left = in.gcount(); left > 0;) {
      const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        reason = std::strerror(errno);
        break;
      }
      p += n;
      left -= n;
    }
  }
  if (reason.empty() && in.bad()) reason = "read error";
  // The engine reads the picture as another user may; the package itself stays private.
  if (reason.empty() && ::fchmod(fd, 0644) != 0) reason = std::strerror(errno);
  if (::close(fd) != 0 && reason.empty()) reason = std::strerror(errno);
  if (reason.empty() && std::rename(temp.c_str(), (folder / source.filename()).c_str()) != 0) {
    reason = std::strerror(errno);
  }
  if (!reason.empty()) std::remove(temp.c_str());
  return reason;
}

}  // namespace

bool StagePictures(const std::vector<std::string>& images, const std::string& home,
                   std::vector<std::string>* names, Language language, std::ostream& err) {
  if (images.empty()) return true;
  if (images.size() > kMaxPictures) {
    err << "qx: "
        << Text(language, Msg::kPictureTooMany,
                {std::to_string(images.size()), std::to_string(kMaxPictures)})
        << "\n";
    return false;
  }
  if (home.empty()) {
    err << "qx: " << Text(language, Msg::kPicturesNeedHome) << "\n";
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(home) / "TempIMG";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (const std::string& image : images) {
    const std::filesystem::path source(image);
    const std::filesystem::path target = folder / source.filename();
    std::error_code same_ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(target, same_ec)) &&
        std::filesystem::equivalent(source, target, same_ec)) {
      names->push_back(source.filename().string());  // already in place
      continue;
    }
    if (const std::string reason = CopyInto(source, folder); !reason.empty()) {
      err << "qx: " << Text(language, Msg::kPictureCopyFailed, {image, folder.string(), reason})
          << "\n";
      return false;
    }
    names->push_back(source.filename().string());
  }
  return true;
}

int SendMode(const SendOptions& options) {
  if (!options.images.empty()) return 3;
  return Utf8ToAnsi(options.text).size() > options.limits.sms_bytes ? 2 : 1;
}

std::string SendBody(const SendOptions& options, int mode,
                     const std::vector<std::string>& pictures) {
  if (options.groups.empty()) {
    return protocol::DirectSendRequest{mode,
                                       static_cast<int>(options.to.size()),
                                       options.title,
                                       options.reserve,
                                       Join(options.to, ','),
                                       options.callback,
                                       EscapeUiText(options.text),
                                       pictures}
        .Build();
  }
  return protocol::GroupSendRequest{mode,
                                    static_cast<int>(options.groups.size() + options.to.size()),
                                    options.title,
                                    options.reserve,
                                    Join(options.groups, ','),
                                    Join(options.to, ','),
                                    options.callback,
                                    EscapeUiText(options.text),
                                    pictures}
      .Build();
}

bool CheckSendRequest(const SendOptions& options, SendOptions* checked, std::ostream& out,
                      std::ostream& err) {
  const Language lang = options.language;
  *checked = options;
  bool ok = true;
  checked->groups.clear();
  for (const std::string& value : options.groups) {
    for (std::string_view name : SplitFields(value, ',')) {
      if (!name.empty()) checked->groups.emplace_back(name);
    }
  }
  // Recipients.
  std::vector<SourcedItem> items = ItemsOfToOptions(options.to);
  if (!options.to_file.empty() &&
      !ItemsOfFile(options.to_file, options.to_column, &items, lang, err)) {
    return false;
  }
  std::vector<ListItem> list;
  for (const SourcedItem& s : items) list.push_back(s.item);
  const RecipientList recipients = CheckRecipients(list, options.keep_duplicates, lang);
  for (const RefusedNumber& refused : recipients.refused) {
    for (const SourcedItem& s : items) {
      if (s.item.text == refused.item.text && s.item.line == refused.item.line &&
          s.item.item == refused.item.item) {
        err << "qx send: " << Text(lang, Msg::kNumberSource, {s.where, refused.reason}) << "\n";
        break;
      }
    }
    ok = false;
  }
  checked->to = recipients.numbers;
  if (checked->to.empty() && options.groups.empty() && recipients.refused.empty()) {
    err << "qx send: " << Text(lang, Msg::kNoRecipients) << "\n";
    ok = false;
  }
  // Callback: optional, as the engine leaves it to the web service; a given one must be valid.
  if (!options.callback.empty()) {
    const NumberResult callback = NormalizeNumber(options.callback, NumberUse::kCallback);
    if (!callback.ok()) {
      err << "qx send: --callback: " << Text(lang, callback.reason, {options.callback}) << "\n";
      ok = false;
    }
    checked->callback = callback.number;
  }
  // Text.
  if (!options.text_file.empty() && !ReadTextFile(options.text_file, &checked->text, lang, err)) {
    return false;
  }
  const TextCheck text = CheckText(checked->text, options.images.size(), options.limits, lang);
  for (const std::string& problem : text.problems) err << "qx send: " << problem << "\n";
  ok = ok && text.problems.empty();
  // Reservation and pictures.
  const ReservationResult reserve = ParseReservation(options.reserve, LocalMinuteNow(), lang);
  if (!reserve.ok()) err << "qx send: " << reserve.problem << "\n";
  ok = ok && reserve.ok();
  checked->reserve = reserve.engine_text;
  for (const std::string& problem : CheckPictures(options.images, lang)) {
    err << "qx send: " << problem << "\n";
    ok = false;
  }
  if (!ok) return false;

  // What will be sent.
  if (!checked->to.empty()) {
    out << Text(lang, Msg::kRecipientsCount, {std::to_string(checked->to.size())}) << ": ";
    constexpr size_t kShown = 10;
    for (size_t i = 0; i < checked->to.size() && i < kShown; ++i) {
      out << (i > 0 ? ", " : "") << checked->to[i];
    }
    out << (checked->to.size() > kShown ? ", ...\n" : "\n");
  }
  if (recipients.duplicates_removed > 0) {
    out << Text(lang, Msg::kDuplicatesRemoved, {std::to_string(recipients.duplicates_removed)})
        << "\n";
  }
  out << Text(lang, Msg::kTextSummary,
              {KindName(text.kind), std::to_string(text.bytes), std::to_string(text.limit)})
      << "\n";
  out << (checked->reserve.empty() ? Text(lang, Msg::kReserveNow)
                                   : Text(lang, Msg::kReserveAt, {options.reserve}))
      << "\n";
  return true;
}

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
                   std::ostream& err) {
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
  SendOptions options;
  if (!CheckSendRequest(given, &options, out, err)) return kExitUsage;
  const int mode = SendMode(options);
  const bool group_send = !options.groups.empty();
  std::vector<std::string> pictures;
  if (!options.check_only && !options.dry_run &&
      !StagePictures(options.images, options.home, &pictures, lang, err)) {
    return kExitUsage;
  }

  LinkSession session(target, err);
  if (!session.Open()) return kExitNoEngine;
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
    if (!CheckGroups(options.groups, ParseGroupList(reply), &members, lang, out, err)) {
      return kExitUsage;
    }
    count += members;
  }
  bool passed = false;
  if (!RunSendCheck(session, "DSEND", count, std::to_string(mode), options.reserve, lang, out,
                    &passed)) {
    return kExitNoEngine;
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
